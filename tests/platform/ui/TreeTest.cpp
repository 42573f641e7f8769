// Structural identities and queries of the built tree.

#include "platform/ui/graph/State.hpp"
#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

struct Badge {
    std::string label;
    View body() const { return Text(label).padding(4); }
};

struct ReadsContext {
    std::string* seen;
    View body() const {
        *seen = ResolveContext::current()->path;
        return Text(ResolveContext::current()->environment->font.size == 22 ? "title2" : "other");
    }
};

TEST(Identity, PathsFollowTheStructure) {
    ViewTree t(
        VStack({Badge{"RAW"}, If(true, [] { return Text("on"); }),
                ForEach(
                    std::vector<std::string>{"a", "b"}, [](const std::string& s) { return s; },
                    [](const std::string& s) { return Text(s); })}),
        SceneOptions{});
    EXPECT_EQ(t.get(Query::text("RAW")).identity(), "/VStack[0]/Badge/padding/Text");
    EXPECT_EQ(t.get(Query::text("on")).identity(), "/VStack[1][if]/Text");
    EXPECT_EQ(t.get(Query::text("b")).identity(), "/VStack[2][id=b]/Text");
    EXPECT_EQ(t.get(Query::text("RAW")).parent()->kind(), "padding");

    ViewTree other(VStack({Text("x"), IfElse(
                                          false, [] { return Text("shown"); },
                                          [] { return Text("hidden"); })}),
                   SceneOptions{});
    EXPECT_EQ(other.get(Query::text("hidden")).identity(), "/VStack[1][else]/Text");
    ViewTree explicitId(VStack({Text("x").id("title")}), SceneOptions{});
    EXPECT_EQ(explicitId.get(Query::text("x")).identity(), "/VStack[id=title]/Text");
}

TEST(Identity, CustomBodiesSeeTheirPathAndEnvironment) {
    std::string seen;
    ViewTree t(HStack({View(ReadsContext{&seen}).font(Font::title2())}), SceneOptions{});
    EXPECT_EQ(seen, "/HStack[0]/ReadsContext");
    EXPECT_NE(t.find(Query::text("title2")), nullptr);
    EXPECT_EQ(ResolveContext::current(), nullptr);
}

TEST(Queries, FindByTextSymbolTagAndKind) {
    ViewTree t(HStack({Text("a"), Image::system("gear").testTag("settings"), Text("a")}),
               SceneOptions{});
    EXPECT_EQ(t.findAll(Query::text("a")).size(), 2u);
    EXPECT_EQ(&t.get(Query::symbol("gear")), &t.get(Query::tag("settings")));
    EXPECT_EQ(t.findAll(Query::kind("HStack")).size(), 1u);
    EXPECT_EQ(t.find(Query::text("missing")), nullptr);
    EXPECT_THROW(t.get(Query::text("missing")), std::out_of_range);
}

TEST(Environment, ForegroundAndFontAreInherited) {
    ViewTree t(VStack({Text("a"), Text("b").foregroundColor(Color::red())})
                   .foregroundStyle(ShapeStyle::secondary())
                   .font(Font::caption()),
               SceneOptions{});
    const Element& a = t.get(Query::text("a"));
    EXPECT_EQ(a.environment().font, Font::caption());
    EXPECT_NEAR(a.environment().foregroundColor().alpha, 0.6, 1e-9);
    EXPECT_EQ(t.get(Query::text("b")).environment().foregroundColor(),
              Color::red().resolved(ColorScheme::dark));
}

TEST(Environment, ImageScaleSizesSymbolsAgainstTheFontAndTheSceneGivesItsScale) {
    auto side = [](ImageScale scale) {
        ViewTree t(HStack({Image::system("circle").imageScale(scale), Text("label")})
                       .font(Font::system(20)));
        return t.get(Query::symbol("circle")).frame().width;
    };
    EXPECT_NEAR(side(ImageScale::medium), 24, 1e-9);
    EXPECT_NEAR(side(ImageScale::small), 24 * 0.8, 1e-9);
    EXPECT_NEAR(side(ImageScale::large), 24 * 1.3, 1e-9);

    SceneOptions o;
    o.scale = 2;
    double seen = 0;
    struct ReadsScale {
        double* seen;
        View body() const {
            *seen = currentEnvironment().displayScale;
            return Text("x");
        }
    };
    ViewTree t(ReadsScale{&seen}, o);
    EXPECT_EQ(seen, 2);
}

} // namespace
} // namespace qv::platform::ui
