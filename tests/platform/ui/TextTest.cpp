// Text: line limits with tail truncation, shrinking to the minimum scale
// factor, the text styles, and the characters of the exposure readouts.

#include "TestScenes.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/drawing/TextSystem.hpp"
#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

using testing::scene;

const std::string kLong = "Frame averaging merges every frame of the sequence into one picture";

TEST(TextLayout, LongTextIsCutAtItsLineLimit) {
    ViewTree one(Text("x"), scene(400, 400, 1));
    double lineHeight = one.get(Query::text("x")).frame().height;

    ViewTree t(Text(kLong).lineLimit(2).frame(120, 300), scene(400, 400, 1));
    const Element& e = t.get(Query::text(kLong));
    ASSERT_TRUE(e.textInfo());
    EXPECT_TRUE(e.textInfo()->truncated);
    EXPECT_EQ(e.textInfo()->lines, 2);
    EXPECT_NEAR(e.frame().height, 2 * lineHeight, 0.5);
    EXPECT_LE(e.frame().width, 120);

    ViewTree free(Text(kLong).frame(120, 300), scene(400, 400, 1));
    EXPECT_FALSE(free.get(Query::text(kLong)).textInfo()->truncated);
    EXPECT_GT(free.get(Query::text(kLong)).textInfo()->lines, 2);
}

TEST(TextLayout, ShrinksToTheMinimumScaleFactorThenTruncates) {
    ViewTree t(Text(kLong).lineLimit(1).minimumScaleFactor(0.5).frame(100, 40), scene(200, 100, 1));
    const auto info = *t.get(Query::text(kLong)).textInfo();
    EXPECT_DOUBLE_EQ(info.scale, 0.5);
    EXPECT_TRUE(info.truncated);
}

TEST(TextLayout, ShrinksOnlyAsFarAsNeeded) {
    ViewTree natural(Text("12345678").fixedSize(), scene(400, 100, 1));
    double width = natural.get(Query::text("12345678")).frame().width;
    ViewTree t(Text("12345678").lineLimit(1).minimumScaleFactor(0.5).frame(width * 0.75, 40),
               scene(400, 100, 1));
    const auto info = *t.get(Query::text("12345678")).textInfo();
    EXPECT_FALSE(info.truncated);
    EXPECT_GT(info.scale, 0.7);
    EXPECT_LE(info.scale, 0.75 + 1e-3);
}

TEST(TextLayout, HeightOfTheProposalLimitsTheLines) {
    ViewTree one(Text("x"), scene(400, 400, 1));
    double lineHeight = one.get(Query::text("x")).frame().height;
    ViewTree t(Text(kLong).frame(100, lineHeight * 1.5), scene(400, 400, 1));
    EXPECT_EQ(t.get(Query::text(kLong)).textInfo()->lines, 1);
    EXPECT_TRUE(t.get(Query::text(kLong)).textInfo()->truncated);
}

TEST(TextLayout, TextStylesSizeTheText) {
    struct Case {
        Font font;
        double size;
    } cases[] = {{Font::largeTitle(), 34}, {Font::title(), 28},       {Font::title2(), 22},
                 {Font::title3(), 20},     {Font::headline(), 17},    {Font::body(), 17},
                 {Font::callout(), 16},    {Font::subheadline(), 15}, {Font::footnote(), 13},
                 {Font::caption(), 12},    {Font::caption2(), 11}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.font.size, c.size);
        ViewTree t(Text("Hg").font(c.font), scene(400, 100, 1));
        double h = t.get(Query::text("Hg")).frame().height;
        EXPECT_GT(h, c.size);
        EXPECT_LT(h, c.size * 1.4);
    }
    EXPECT_EQ(Font::headline().weight, FontWeight::semibold);
    // A heavier weight of the same text is wider.
    ViewTree regular(Text("Total Time").font(Font::body()), scene(400, 100, 1));
    ViewTree heavy(Text("Total Time").font(Font::headline()), scene(400, 100, 1));
    EXPECT_GT(heavy.get(Query::text("Total Time")).frame().width,
              regular.get(Query::text("Total Time")).frame().width);
}

// Ink of a text drawn white on a transparent scene: the sum of its alpha.
double inkOf(const View& text) {
    SceneOptions o = scene(400, 100, 1);
    o.background = std::nullopt;
    const RenderedImage image = ViewTree(text.foregroundColor(Color::white()), o).render();
    double ink = 0;
    for (std::uint32_t pixel : image.pixels) {
        ink += pixel >> 24;
    }
    return ink;
}

TEST(TextLayout, EveryWeightOfTheTableHasAFaceOfItsOwn) {
    // A face without a semibold draws the headline bold; ours lies between.
    const auto ink = [](FontWeight weight) {
        return inkOf(Text("Total Time").font(Font::system(17, weight)));
    };
    const double regular = ink(FontWeight::regular);
    const double semibold = ink(FontWeight::semibold);
    const double bold = ink(FontWeight::bold);
    EXPECT_GT(semibold, regular * 1.05);
    EXPECT_LT(semibold, bold * 0.95);
    EXPECT_GT(ink(FontWeight::medium), regular * 1.02);
    EXPECT_LT(ink(FontWeight::medium), semibold * 0.98);
}

TEST(TextLayout, MonospacedDigitsHaveEqualAdvances) {
    auto width = [](const std::string& s) {
        ViewTree t(Text(s).font(Font::system(40).monospacedDigit()), scene(600, 100, 1));
        return t.get(Query::text(s)).frame().width;
    };
    EXPECT_NEAR(width("1111"), width("8888"), 0.01);
}

TEST(TextLayout, ExposureReadoutCharactersHaveGlyphs) {
    const std::string s = "1/8000 s ⁰¹²³⁴⁵⁶⁷⁸⁹ ₀₁₂₃₄₅₆₇₈₉ 1⁄3 ΔEV ∞ ISO 100";
    ViewTree t(Text(s).font(Font::title2()), scene(600, 100, 1));
    EXPECT_EQ(t.get(Query::text(s)).textInfo()->unknownGlyphs, 0);
}

TEST(LocalizedText, ControlTextsAreKeysAndRunTimeValuesAreVerbatim) {
    const std::string value = "off";
    ViewTree t(VStack({Text("off").testTag("literal"), Text(value).testTag("verbatim"),
                       Text(LocalizedStringKey{value}).testTag("key"),
                       Text("Total Time").testTag("own text"),
                       Text(LocalizedStringKey{"WhatsNewHeadline"}).testTag("headline"),
                       Button("off", [] {}).testTag("button"),
                       Button(value, [] {}).testTag("verbatim button"),
                       Toggle("off", Binding<bool>::constant(false)).testTag("toggle")}),
               scene(400, 800, 1));
    // The text of the first Text inside the tagged view.
    const std::function<std::string(const Element&)> textIn = [&](const Element& e) {
        if (!e.text().empty()) {
            return e.text();
        }
        for (const auto& child : e.children()) {
            if (std::string found = textIn(*child); !found.empty()) {
                return found;
            }
        }
        return std::string();
    };
    const auto shown = [&](const std::string& tag) { return textIn(t.get(Query::tag(tag))); };
    EXPECT_EQ(shown("literal"), "Off");
    EXPECT_EQ(shown("key"), "Off");
    EXPECT_EQ(shown("verbatim"), "off");
    EXPECT_EQ(shown("own text"), "Total Time"); // no entry: the key reads as itself
    EXPECT_EQ(shown("button"), "Off");
    EXPECT_EQ(shown("verbatim button"), "off");
    EXPECT_EQ(shown("toggle"), "Off");
    EXPECT_NE(shown("headline"), "WhatsNewHeadline");
    EXPECT_NE(localizedString("WhatsNewBody"), "WhatsNewBody");
}

TEST(TextLayout, MultilineAlignmentPlacesLinesWithinTheFrame) {
    // Centred lines of different lengths: the text's frame is the widest line.
    ViewTree t(Text("a\nwide line").multilineTextAlignment(TextAlignment::center),
               scene(400, 100, 1));
    ViewTree wide(Text("wide line"), scene(400, 100, 1));
    EXPECT_NEAR(t.get(Query::text("a\nwide line")).frame().width,
                wide.get(Query::text("wide line")).frame().width, 0.01);
}

} // namespace
} // namespace qv::platform::ui

namespace qv::platform::ui {
namespace {

// Layouts are shared for equal requests only: every input that changes the
// answer must give a layout of its own.
TEST(TextLayoutCache, EqualRequestsShareALayoutAndEveryInputCounts) {
    const Font body = Font::body();
    const TextOptions plain{};
    const ProposedSize room{200.0, 100.0};
    const TextLayout base = layoutText("1/250 s", body, plain, room);
    ASSERT_TRUE(base.layout);
    EXPECT_EQ(layoutText("1/250 s", body, plain, room).layout, base.layout);

    Font bigger = body;
    bigger.size += 1;
    Font bold = body;
    bold.weight = FontWeight::bold;
    Font mono = body;
    mono.design = FontDesign::monospaced;
    Font digits = body;
    digits.monospacedDigits = true;
    TextOptions limited{1};
    TextOptions shrinking{{}, 0.5};
    TextOptions centred{{}, 1.0, TextAlignment::center};
    const std::vector<TextLayout> others = {
        layoutText("1/250 s ", body, plain, room),
        layoutText("1/250 s", bigger, plain, room),
        layoutText("1/250 s", bold, plain, room),
        layoutText("1/250 s", mono, plain, room),
        layoutText("1/250 s", digits, plain, room),
        layoutText("1/250 s", body, limited, room),
        layoutText("1/250 s", body, shrinking, room),
        layoutText("1/250 s", body, centred, room),
        layoutText("1/250 s", body, plain, {20.0, 100.0}),
        layoutText("1/250 s", body, plain, {200.0, std::nullopt}),
    };
    for (size_t i = 0; i < others.size(); ++i) {
        EXPECT_NE(others[i].layout, base.layout) << i;
    }
    // The answers are those of the request, not of a neighbour's layout.
    EXPECT_GT(others[1].size.width, base.size.width);
    EXPECT_GT(others[8].lineCount, 1);
    EXPECT_EQ(measureText("1/250 s", body, plain, {20.0, 100.0}).height, others[8].size.height);
}

// A rebuilt screen reuses its texts' layouts and draws the same pixels.
TEST(TextLayoutCache, ARebuiltTreeDrawsTheSame) {
    auto screen = [] {
        return VStack({Text(kLong).lineLimit(2), Text("ISO 800").font(Font::caption())})
            .frame(150, 90);
    };
    SceneOptions o = scene(160, 100, 1);
    o.scale = 2;
    ViewTree first(screen(), o);
    RenderedImage a = first.render();
    ViewTree second(screen(), o);
    EXPECT_EQ(second.render().pixels, a.pixels);
}

} // namespace
} // namespace qv::platform::ui
