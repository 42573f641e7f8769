#include "components/BaseGeometryReader.hpp"

#include "ComponentTesting.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;

// A screen measured by the reader, which reaches over the whole screen.
struct Measured {
    explicit Measured(SceneOptions options) : graph([this] { return view(); }, options) {
        graph.settle();
    }
    testing::Bound<BaseGeometry> geometry{};
    int builds = 0;
    ViewGraph graph;
    View view() {
        return View(BaseGeometryReader{geometry.binding(),
                                       [this] {
                                           ++builds;
                                           return Text("content");
                                       }})
            .ignoresSafeArea();
    }
};

TEST(BaseGeometryReader, MeasuresThePhoneScreenOnceAndPrintsTheRecord) {
    platform::ConsoleCapture console;
    Measured m(testing::phone());
    const BaseGeometry& g = m.geometry.value;
    EXPECT_EQ(g.size, (Size{390, 844}));
    EXPECT_EQ(g.safeAreaInsets, (EdgeInsets{47, 0, 34, 0}));
    EXPECT_EQ(g.cameraAspectRatio, 4.0 / 3.0);
    EXPECT_EQ(g.cameraPreviewSize(), (Size{390, 520}));
    EXPECT_EQ(g.controlsAreaSize(), (Size{390, 324}));
    EXPECT_EQ(g.topBarSize(), (Size{390, 47}));
    EXPECT_TRUE(g.hasBottomSafeArea());
    EXPECT_EQ(console.text(),
              "BaseGeometryReader:\n\n"
              "BaseGeometry(size: (390.0, 844.0), safeAreaInsets: EdgeInsets(top: 47.0, leading: "
              "0.0, bottom: 34.0, trailing: 0.0), cameraAspectRatio: 1.3333333333333333)\n");
    EXPECT_GE(m.builds, 1);
    EXPECT_NE(m.graph.tree().find(Query::text("content")), nullptr);
}

TEST(BaseGeometryReader, AScreenWithoutInsetsTakesTheTopBarFromItsHeight) {
    SceneOptions o;
    o.size = {375, 667};
    Measured m(o);
    const BaseGeometry& g = m.geometry.value;
    EXPECT_EQ(g.controlsAreaSize(), (Size{375, 167}));
    EXPECT_DOUBLE_EQ(g.topBarSize().height, 26.68);
    EXPECT_FALSE(g.hasBottomSafeArea());
}

TEST(BaseGeometryReader, ALaterSizeChangeIsNotWritten) {
    Measured m(testing::phone());
    const BaseGeometry first = m.geometry.value;
    SceneOptions turned = testing::phone();
    turned.size = {844, 390};
    m.graph.setOptions(turned);
    m.graph.settle();
    EXPECT_EQ(m.geometry.value, first);
    EXPECT_EQ(m.geometry.animatedWrites.size(), 1u);
}

TEST(BaseGeometry, TheControlsAreaOfAWideSpaceIsEmptyNotNegative) {
    const BaseGeometry wide{{400, 300}, {}, metrics::cameraAspectRatio};
    EXPECT_EQ(wide.controlsAreaSize(), (Size{400, 0}));
    const BaseGeometry wideWithTop{{400, 300}, {20, 0, 0, 0}, metrics::cameraAspectRatio};
    EXPECT_EQ(wideWithTop.controlsAreaSize().height, 0);
}

} // namespace
} // namespace qv
