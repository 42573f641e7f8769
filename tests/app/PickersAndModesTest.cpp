// The file-format and delay pickers and the sequence-mode selector, bound to the real
// controller's settings.

#include "AppTesting.hpp"
#include "app/SequenceModeSelector.hpp"
#include "app/settings/DelayPicker.hpp"
#include "app/settings/FileFormatPicker.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/WindowHost.hpp"

#include <numbers>

namespace qv::testing {
namespace {

using namespace platform::ui;

class Pickers : public AppTest {
protected:
    void show(std::vector<SupportedImageFormat> formats = {SupportedImageFormat::RAW,
                                                           SupportedImageFormat::JPEG,
                                                           SupportedImageFormat::TIFF}) {
        start();
        graph = std::make_unique<ViewGraph>(
            [this, formats] {
                return ControllerView{
                    *camera, [formats](CameraManager& c) {
                        return VStack(
                            {FileFormatPicker{c.settings.fileFormat.binding(), formats},
                             DelayPicker{c.settings.shutterReleaseDelay.binding(),
                                         {Delay::off, Delay::two, Delay::five, Delay::ten}}});
                    }};
            },
            testing::phone());
        settle();
    }
    FontWeight weight(const std::string& segment) {
        settle();
        return tree().get(Query::text(segment)).environment().font.weight;
    }
};

TEST_F(Pickers, AFreshStoreShowsJPEGAndFiveSeconds) {
    show();
    EXPECT_EQ(weight("JPEG"), FontWeight::semibold);
    EXPECT_EQ(weight("RAW"), FontWeight::regular);
    EXPECT_EQ(weight("5s"), FontWeight::semibold);
    EXPECT_EQ(weight("Off"), FontWeight::regular) << "the strings table's text for \"off\"";
}

TEST_F(Pickers, SegmentsAreTaggedWithTheirValues) {
    settingsStore->store().set("delay", std::int64_t(2));
    show();
    EXPECT_EQ(weight("2s"), FontWeight::semibold);
    tap(Query::text("10s"));
    EXPECT_EQ(settingsStore->store().integerValue("delay"), 10);
    EXPECT_EQ(weight("10s"), FontWeight::semibold);
    tap(Query::text("TIFF"));
    EXPECT_EQ(settingsStore->store().stringValue("fileFormat"), "TIFF");
    tap(Query::text("Off"));
    EXPECT_EQ(camera->settings.shutterReleaseDelay.get(), Delay::off);

    camera->toggleFileFormat(); // the camera screen's switch, while the picker shows
    EXPECT_EQ(weight("RAW"), FontWeight::semibold);
}

TEST_F(Pickers, AListWithoutTheStoredFormatSelectsNone) {
    show({SupportedImageFormat::RAW, SupportedImageFormat::TIFF});
    EXPECT_EQ(weight("RAW"), FontWeight::regular);
    EXPECT_EQ(weight("TIFF"), FontWeight::regular);
}

class ModeSelector : public AppTest {
protected:
    void show(int columns, double rotation = 0, std::string title = "", bool autoDismiss = true) {
        start();
        graph = std::make_unique<ViewGraph>(
            [=, this] {
                return ControllerView{
                    *camera, [=, this](CameraManager& c) {
                        return If(showing, [&] {
                            return View(SequenceModeSelector(
                                title,
                                platform::Binding<bool>(
                                    [this] { return showing; },
                                    [this](bool v) {
                                        showing = v;
                                        showingAnimated =
                                            bool(platform::Transaction::current().animation);
                                        graph->invalidate();
                                    }),
                                platform::Binding<SequenceMode>(
                                    [&c] { return c.sequenceMode.get(); },
                                    [&c, this](SequenceMode m) {
                                        modeAnimated =
                                            bool(platform::Transaction::current().animation);
                                        c.sequenceMode = m;
                                    }),
                                columns, autoDismiss, rotation));
                        });
                    }};
            },
            testing::phone());
        settle();
    }
    Rect cell(SequenceMode mode) {
        return tree().get(Query::tag("mode " + std::to_string(rawValue(mode)))).screenFrame();
    }
    bool showing = true;
    bool showingAnimated = false;
    bool modeAnimated = false;
};

TEST_F(ModeSelector, ThreeColumnsFillTheFirstRowAndPutNoBlankBeforeTheModes) {
    show(3);
    using enum SequenceMode;
    EXPECT_NEAR(cell(frameAveraging).midY(), cell(starTrails).midY(), 0.01);
    EXPECT_LT(cell(frameAveraging).minX(), cell(lightTrails).minX());
    EXPECT_LT(cell(lightTrails).minX(), cell(starTrails).minX());
    EXPECT_GT(cell(nightMode).minY(), cell(frameAveraging).maxY());
    EXPECT_NEAR(cell(nightMode).midX(), cell(frameAveraging).midX(), 0.01);
    EXPECT_TRUE(findAll(tree().root(), Query::tag("selector blank 1")).empty());
}

TEST_F(ModeSelector, ChoosingNightModeSetsItAndClosesInOneAnimatedChange) {
    show(1);
    EXPECT_EQ(tree().find(Query::symbol("x.circle")), nullptr) << "no header";
    tap(Query::text("Night Mode"));
    EXPECT_EQ(camera->sequenceMode.get(), SequenceMode::nightMode);
    EXPECT_FALSE(showing);
    EXPECT_TRUE(modeAnimated && showingAnimated);
    EXPECT_FALSE(shows(Query::tag("selector")));
}

TEST_F(ModeSelector, WithoutAutoDismissTheHeaderHoldsOnlyTheCloseSymbol) {
    show(1, 0, "", false);
    tap(Query::text("Star Trails"));
    EXPECT_EQ(camera->sequenceMode.get(), SequenceMode::starTrails);
    EXPECT_TRUE(showing);
    tap(Query::symbol("x.circle"));
    EXPECT_FALSE(showing);
}

TEST_F(ModeSelector, AQuarterTurnExchangesTheFrameAndAHalfTurnOnlyRotates) {
    for (const double angle : {std::numbers::pi / 2, -std::numbers::pi / 2}) {
        show(1, angle);
        const Element& selector = tree().get(Query::tag("selector"));
        EXPECT_EQ(selector.frame().width, 844 - 47 - 34) << angle;
        EXPECT_EQ(selector.frame().height, 390) << angle;
        end();
    }
    show(1, std::numbers::pi);
    EXPECT_EQ(tree().get(Query::tag("selector")).frame().width, 390);
}

// On the camera screen the selector lies over the preview, where its last row is below the
// fold: the mouse wheel over it brings "Night Mode" into view.
class CameraScreenModes : public AppTest {};

TEST_F(CameraScreenModes, TheWheelOverTheModeSelectorBringsNightModeIntoView) {
    launch();
    settle();
    if (shows(Query::tag("whats new ok"))) {
        tap(Query::tag("whats new ok"));
    }
    tap(Query::tag("mode badge"));
    ASSERT_TRUE(shows(Query::tag("selector")));
    const auto scrolls = findAll(tree().get(Query::tag("selector")), Query::kind("ScrollView"));
    ASSERT_FALSE(scrolls.empty());
    const Rect visible = scrolls.front()->screenFrame();
    const auto nightInView = [&] {
        const Element* night = tree().find(Query::text("Night Mode"));
        return night != nullptr && night->screenFrame().maxY() <= visible.maxY() + 0.5;
    };
    ASSERT_FALSE(nightInView()) << "below the fold";
    for (int notch = 0; notch < 10 && !nightInView(); ++notch) {
        input().wheel(visible.center(), platform::window::kWheelNotchPoints);
    }
    ASSERT_TRUE(nightInView());
    tap(Query::text("Night Mode"));
    EXPECT_EQ(controller().sequenceMode.get(), SequenceMode::nightMode);
}

} // namespace
} // namespace qv::testing
