// Layout: proposals, answers and placement of stacks, frames, padding, readers,
// aspect ratio and drawing effects, checked through the frames of the laid-out tree.

#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

SceneOptions scene(double w, double h, EdgeInsets insets = {}) {
    SceneOptions o;
    o.size = {w, h};
    o.safeAreaInsets = insets;
    o.scale = 1;
    return o;
}

void expectRect(const Rect& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x, x, 1e-6);
    EXPECT_NEAR(r.y, y, 1e-6);
    EXPECT_NEAR(r.width, w, 1e-6);
    EXPECT_NEAR(r.height, h, 1e-6);
}

Rect frameOf(const ViewTree& t, const std::string& tag) {
    return t.get(Query::tag(tag)).frame();
}

TEST(StackLayout, SpacerTakesWhatFixedFramesLeave) {
    ViewTree t(HStack({View(Color::red()).frame(50, 20).testTag("a"), Spacer().testTag("s"),
                       View(Color::blue()).frame(30, 20).testTag("b")})
                   .frame(200, 100, Alignment::topLeading()),
               scene(200, 100));
    expectRect(frameOf(t, "a"), 0, 0, 50, 20);
    expectRect(frameOf(t, "s"), 58, 10, 200 - 80 - 16, 0);
    expectRect(frameOf(t, "b"), 170, 0, 30, 20);
}

TEST(StackLayout, DefaultSpacingAndCrossAlignment) {
    ViewTree t(VStack({View(Color::red()).frame(40, 10).testTag("a"),
                       View(Color::blue()).frame(20, 10).testTag("b")},
                      HorizontalAlignment::leading),
               scene(100, 100));
    // The stack is 28 high and 40 wide, centred in the scene.
    expectRect(frameOf(t, "a"), 30, 36, 40, 10);
    expectRect(frameOf(t, "b"), 30, 54, 20, 10);
}

TEST(StackLayout, LeastFlexibleChildIsServedFirst) {
    // A frame limited to 60 is less flexible than an unlimited colour: it gets its
    // share first, and the colour takes all that is left.
    ViewTree t(HStack({View(Color::red()).testTag("wide"),
                       View(Color::blue()).frame(FrameLimits{}.withMaxWidth(60)).testTag("narrow")},
                      VerticalAlignment::center, 0),
               scene(300, 50));
    expectRect(frameOf(t, "narrow"), 240, 0, 60, 50);
    expectRect(frameOf(t, "wide"), 0, 0, 240, 50);
}

TEST(StackLayout, AHigherPriorityTakesWhatTheLowerOnesDoNotNeedAtLeast) {
    // Between two spacers a colour would get a third; raised, it gets all the spacers
    // leave at their minimum.
    ViewTree even(HStack({Spacer(), View(Color::red()).testTag("c"), Spacer()}), scene(316, 50));
    EXPECT_NEAR(frameOf(even, "c").width, 100, 1e-9);
    ViewTree raised(
        HStack({Spacer().testTag("s"), View(Color::red()).layoutPriority(1).testTag("c"),
                View(Color::blue()).frame(10, 10)}),
        scene(316, 50));
    EXPECT_NEAR(frameOf(raised, "c").width, 300 - 10, 1e-9);
    EXPECT_NEAR(frameOf(raised, "s").width, 0, 1e-9);
    // A raised text is laid out at its ideal width before two colours share the rest.
    ViewTree text(HStack({View(Color::blue()),
                          Text("Hello, world").lineLimit(1).layoutPriority(1).testTag("t"),
                          View(Color::green())},
                         VerticalAlignment::center, 0),
                  scene(150, 50));
    EXPECT_FALSE(text.get(Query::tag("t")).textInfo()->truncated);
}

TEST(StackLayout, EmptyConditionalTakesNoSpacing) {
    ViewTree t(
        VStack({View(Color::red()).frame(10, 10).testTag("a"), If(false, [] { return Text("x"); }),
                View(Color::blue()).frame(10, 10).testTag("b")}),
        scene(100, 100));
    EXPECT_NEAR(frameOf(t, "b").y - frameOf(t, "a").maxY(), kDefaultSpacing, 1e-9);
}

TEST(FrameLayout, FlexibleFrameStopsAtItsLimits) {
    ViewTree big(
        View(Color::red())
            .frame(FrameLimits{}.withMinWidth(50).withMaxWidth(120).withMinHeight(10).withMaxHeight(
                30))
            .testTag("f"),
        scene(300, 300));
    EXPECT_NEAR(frameOf(big, "f").width, 120, 1e-9);
    EXPECT_NEAR(frameOf(big, "f").height, 30, 1e-9);
    // Offered less than the minimum, the frame keeps its minimum and overflows.
    ViewTree small(
        View(Color::red()).frame(FrameLimits{}.withMinWidth(50).withMaxWidth(120)).testTag("f"),
        scene(20, 20));
    EXPECT_NEAR(frameOf(small, "f").width, 50, 1e-9);
    EXPECT_NEAR(frameOf(small, "f").x, -15, 1e-9);
}

TEST(FrameLayout, FlexibleFrameAroundFixedChildAlignsIt) {
    ViewTree t(View(Color::red())
                   .frame(20, 20)
                   .testTag("c")
                   .frame(FrameLimits::infinite().withAlignment(Alignment::bottomTrailing())),
               scene(100, 80));
    expectRect(frameOf(t, "c"), 80, 60, 20, 20);
}

TEST(FrameLayout, FixedSizeIgnoresTheProposal) {
    ViewTree t(Text("a text wider than the frame").fixedSize().testTag("t").frame(40, 20),
               scene(300, 100));
    EXPECT_GT(frameOf(t, "t").width, 150);
}

TEST(PaddingLayout, PerEdgeAndDefault) {
    ViewTree t(
        View(Color::red()).frame(10, 10).testTag("c").padding(EdgeInsets{1, 2, 3, 4}).testTag("p"),
        scene(100, 100));
    EXPECT_NEAR(frameOf(t, "p").width, 16, 1e-9);
    EXPECT_NEAR(frameOf(t, "p").height, 14, 1e-9);
    EXPECT_NEAR(frameOf(t, "c").x - frameOf(t, "p").x, 2, 1e-9);
    EXPECT_NEAR(frameOf(t, "c").y - frameOf(t, "p").y, 1, 1e-9);

    ViewTree d(View(Color::red()).frame(10, 10).padding(Edges::horizontal).testTag("p"),
               scene(100, 100));
    EXPECT_NEAR(frameOf(d, "p").width, 10 + 2 * kDefaultPadding, 1e-9);
    EXPECT_NEAR(frameOf(d, "p").height, 10, 1e-9);
}

TEST(SafeAreaLayout, GeometryReaderInsideAndIgnoringTheSafeArea) {
    EdgeInsets insets{47, 0, 34, 0};
    GeometryProxy inside, outside;
    ViewTree a(GeometryReader([&](const GeometryProxy& p) {
                   inside = p;
                   return View(Color::black()).frame(10, 10).testTag("c");
               }),
               scene(390, 844, insets));
    EXPECT_EQ(inside.size, (Size{390, 844 - 81}));
    EXPECT_EQ(inside.safeAreaInsets, EdgeInsets{});
    expectRect(frameOf(a, "c"), 0, 47, 10, 10); // top-leading of the reader

    ViewTree b(GeometryReader([&](const GeometryProxy& p) {
                   outside = p;
                   return View();
               }).ignoresSafeArea(),
               scene(390, 844, insets));
    EXPECT_EQ(outside.size, (Size{390, 844}));
    EXPECT_EQ(outside.safeAreaInsets, insets);
}

TEST(SafeAreaLayout, OnlyTheChosenEdgesReachOut) {
    ViewTree t(View(Color::black()).testTag("c").ignoresSafeArea(SafeAreaRegions::all, Edges::top),
               scene(100, 200, {20, 0, 30, 0}));
    expectRect(frameOf(t, "c"), 0, 0, 100, 170);
}

TEST(AspectRatioLayout, ProposesASizeWithoutScalingAFixedChild) {
    std::vector<std::uint8_t> px(40 * 20 * 4, 255);
    ViewTree fit(Image(Bitmap::fromRgba(40, 20, px.data()))
                     .resizable()
                     .scaledToFit()
                     .testTag("i")
                     .frame(100, 100),
                 scene(100, 100));
    expectRect(frameOf(fit, "i"), 0, 25, 100, 50);
    ViewTree fill(Image(Bitmap::fromRgba(40, 20, px.data()))
                      .resizable()
                      .scaledToFill()
                      .testTag("i")
                      .frame(100, 100),
                  scene(100, 100));
    expectRect(fill.get(Query::tag("i")).frame(), -50, 0, 200, 100);
    // A child of fixed size is offered 100 x 50 and stays 40 x 20.
    ViewTree fixed(View(Color::red())
                       .frame(40, 20)
                       .testTag("c")
                       .aspectRatio(2, ContentMode::fit)
                       .frame(100, 100),
                   scene(100, 100));
    expectRect(frameOf(fixed, "c"), 30, 40, 40, 20);
}

TEST(EffectLayout, RotationChangesTheDrawnFrameNotTheLayout) {
    ViewTree t(VStack({View(Color::red()).frame(100, 20).testTag("r").rotationEffect(kPi / 2),
                       View(Color::blue()).frame(100, 20).testTag("b")},
                      HorizontalAlignment::center, 0),
               scene(200, 200));
    const Element& r = t.get(Query::tag("r"));
    expectRect(r.frame(), 50, 80, 100, 20);
    expectRect(r.screenFrame(), 90, 40, 20, 100);
    expectRect(frameOf(t, "b"), 50, 100, 100, 20); // the sibling does not move
}

TEST(EffectLayout, OffsetAndScaleMoveOnlyTheDrawing) {
    ViewTree t(View(Color::red())
                   .frame(20, 20)
                   .testTag("c")
                   .offset(5, -3)
                   .scaleEffect(2, UnitPoint::topLeading()),
               scene(100, 100));
    const Element& c = t.get(Query::tag("c"));
    expectRect(c.frame(), 40, 40, 20, 20);
    // The outer scale about the offset view's corner (40, 40) doubles the offset too.
    expectRect(c.screenFrame(), 40 + 2 * 5, 40 - 2 * 3, 40, 40);
}

TEST(PositionLayout, PlacesTheCentreAndTakesTheOffer) {
    ViewTree t(View(Color::red()).frame(20, 10).testTag("c").position(30, 40).testTag("p"),
               scene(100, 80));
    expectRect(frameOf(t, "p"), 0, 0, 100, 80);
    expectRect(frameOf(t, "c"), 20, 35, 20, 10);
}

TEST(LayersLayout, OverlayAndBackgroundTakeThePrimarySize) {
    ViewTree t(
        View(Color::red())
            .frame(60, 40)
            .testTag("p")
            .background(View(Color::blue()).testTag("bg"))
            .overlay(View(Color::green()).frame(10, 10).testTag("o"), Alignment::topTrailing()),
        scene(100, 100));
    expectRect(frameOf(t, "bg"), 20, 30, 60, 40);
    expectRect(frameOf(t, "o"), 70, 30, 10, 10);
}

TEST(ZStackLayout, SizeIsTheLargestChild) {
    ViewTree t(ZStack({View(Color::red()).frame(30, 10), View(Color::blue()).frame(10, 50)},
                      Alignment::bottomLeading())
                   .testTag("z"),
               scene(100, 100));
    expectRect(frameOf(t, "z"), 35, 25, 30, 50);
}

} // namespace
} // namespace qv::platform::ui
