#include "screen/overlays/OptionalImage.hpp"

#include "ScreenTesting.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;

TEST(OptionalImage, NoPictureTakesNoSpaceInAStack) {
    const ViewTree tree(VStack({Rectangle().frame(40, 40), OptionalImage{},
                                Rectangle().frame(40, 40).testTag("below")},
                               HorizontalAlignment::center, 0),
                        testing::sceneOf(100, 100));
    EXPECT_EQ(tree.get(Query::tag("below")).frame().minY(), 50) << "the stack is 80 high";
    EXPECT_EQ(tree.find(Query::tag("optional image")), nullptr);
}

TEST(OptionalImage, TheOffsetMovesThePictureFromTheCentreAndARightPictureStandsTurned) {
    auto frame = std::make_shared<platform::RgbaImage>(80, 60, 8);
    frame->orientation = platform::ImageOrientation::right; // the magnifier's live frame
    platform::ui::Point offset{-40, 25};
    const ViewTree tree(
        View(OptionalImage{frame, platform::Binding<Point>([&] { return offset; }, [](Point) {})})
            .frame(200, 200),
        testing::sceneOf(200, 200));
    const Rect drawn = tree.get(Query::tag("optional image")).screenFrame();
    EXPECT_EQ(drawn.size(), (Size{60, 80})) << "upright: the stored height across";
    EXPECT_EQ(drawn.center(), (Point{100 - 40, 100 + 25}));
}

} // namespace
} // namespace qv
