// The exposure panel and the four selectors it opens, on the simulated phone.

#include "CameraScreenTesting.hpp"
#include "camera/CameraManager.hpp"
#include "engine/ExposureSequence.hpp"
#include "platform/formatting/NumberFormatter.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/SelectorOverlaysView.hpp"

#include <gtest/gtest.h>
#include <set>

namespace qv {
namespace {

using namespace platform::ui;
using testing::CameraScreenTest;

const Color::Rgba kWhite{1, 1, 1, 1};
const Color::Rgba kGray{0.5, 0.5, 0.5, 1};
const Color::Rgba kBlack{0, 0, 0, 1};

class ExposurePanelTest : public CameraScreenTest {
protected:
    // The value (the last text) of a readout.
    std::string value(const std::string& readout) {
        return findAll(get(readout), Query::kind("Text")).back()->text();
    }
    const Element& valueText(const std::string& readout) {
        return *findAll(get(readout), Query::kind("Text")).back();
    }
    Color::Rgba colorOf(const Element& element) { return element.environment().foregroundColor(); }
    Color::Rgba valueColor(const std::string& readout) { return colorOf(valueText(readout)); }
    Color::Rgba mark(const std::string& readout, const char* symbol) {
        return colorOf(*findAll(get(readout), Query::symbol(symbol)).front());
    }
    // The text of an item of the open selector.
    std::string item(std::int64_t index) {
        return textIn("selector item " + std::to_string(index));
    }
    // Whether the chosen item and the one after it stand in one row (the grid centres the
    // chosen one, so both are built).
    bool sideBySide(std::int64_t chosen) {
        return frameOf("selector item " + std::to_string(chosen)).midY() ==
               frameOf("selector item " + std::to_string(chosen + 1)).midY();
    }
    platform::CaptureDevice& device() { return *simulated->devices().front(); }
};

TEST_F(ExposurePanelTest, BeforeAnExposureReportTheCameraChoosesISO100AndOneSecond) {
    show();
    camera->exposureSettings.set(std::optional<ExposureSettings>()); // no report yet
    camera->previewOffset = 0;
    EXPECT_EQ(value("ISO readout"), "100");
    EXPECT_EQ(value("shutter readout"), "1s");
    EXPECT_EQ(value("EV readout"), "0");
    EXPECT_EQ(valueColor("ISO readout"), kGray);
    EXPECT_EQ(valueColor("EV readout"), kGray);
    EXPECT_EQ(valueColor("total time readout"), kGray);
    EXPECT_EQ(value("total time readout"), "0:01");

    camera->previewOffset = -0.5f; // the camera meters a darker scene
    EXPECT_EQ(valueColor("EV readout"), kWhite);
    EXPECT_EQ(value("EV readout"), "-²/₃");
}

TEST_F(ExposurePanelTest, NightModeShowsItsOwnValues) {
    show();
    camera->sequenceMode = SequenceMode::nightMode;
    camera->selectedNightModeShutterSpeedIndex = 4;
    camera->sendWillChange();
    EXPECT_EQ(value("ISO readout"), "200");
    EXPECT_EQ(value("shutter readout"), "5s");
    EXPECT_EQ(valueColor("shutter readout"), kWhite);
    EXPECT_EQ(mark("shutter readout", "arrow.down.to.line"), kBlack);
    EXPECT_EQ(mark("shutter readout", "arrow.up.to.line"), kBlack);
    EXPECT_EQ(value("EV readout"), "n/a");
    EXPECT_EQ(value("total time readout"), "Single Frame");
    EXPECT_EQ(valueText("total time readout").environment().font, Font::headline());

    // A camera switch can leave the position past the list's end: it reads the last entry
    // (30 x the 1 s longest exposure).
    camera->selectedNightModeShutterSpeedIndex = 99;
    camera->sendWillChange();
    EXPECT_EQ(value("shutter readout"), "30s");
}

TEST_F(ExposurePanelTest, ManualExposureAtTheLowestISOLightsItsMark) {
    show();
    useManualExposure(1.0 / 60, 32); // the simulated camera's lowest ISO
    EXPECT_EQ(value("ISO readout"), "32");
    EXPECT_EQ(valueColor("ISO readout"), kWhite);
    EXPECT_EQ(mark("ISO readout", "arrow.down.to.line"), kWhite);
    EXPECT_EQ(mark("ISO readout", "arrow.up.to.line"), kBlack);
    useManualExposure(1.0 / 60, 400);
    EXPECT_EQ(mark("ISO readout", "arrow.down.to.line"), kBlack);

    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    camera->isManualExposure = true;
    EXPECT_EQ(value("EV readout"), "n/a");
}

TEST_F(ExposurePanelTest, TheTotalTimeReadsTheClampedStoredIndex) {
    settingsStore->store().set(ExposureSequence::totalTimeKey, std::int64_t{99});
    show();
    EXPECT_EQ(value("total time readout"), "24:00:00");
    camera->exposureSequence->setSelectedDurationIndex(0);
    camera->sendWillChange();
    EXPECT_EQ(value("total time readout"), "Single Frame");
    EXPECT_EQ(valueText("total time readout").environment().font, Font::subheadline());
}

TEST_F(ExposurePanelTest, EachReadoutOpensItsSelectorAndAPickReachesTheCamera) {
    show();
    tap("ISO readout");
    EXPECT_TRUE(camera->isManualExposure.get());
    ASSERT_TRUE(shows("ISO selector"));
    const auto chosenISO = camera->selectedISOIndex.get();
    EXPECT_EQ(item(chosenISO), platform::formatInteger(std::stoll(value("ISO readout"))));
    EXPECT_TRUE(sideBySide(chosenISO - 1)) << "three columns";
    const auto pickedISO = chosenISO - 1;
    tap("selector item " + std::to_string(pickedISO));
    EXPECT_FALSE(shows("ISO selector")) << "closes itself";
    EXPECT_EQ(camera->selectedISOIndex.get(), pickedISO);

    tap("shutter readout");
    ASSERT_TRUE(shows("shutter selector"));
    const auto chosenShutter = camera->selectedShutterSpeedIndex.get();
    EXPECT_EQ(item(chosenShutter), value("shutter readout"));
    tap("selector item " + std::to_string(chosenShutter - 1));
    EXPECT_EQ(camera->selectedShutterSpeedIndex.get(), chosenShutter - 1);

    // The next run shoots at the exposure picked.
    plan(5, SupportedImageFormat::JPEG);
    release();
    EXPECT_EQ(device().iso(), float(camera->selectableISOs.get()[std::size_t(pickedISO)]));
    EXPECT_NEAR(device().exposureDuration().seconds(),
                camera->selectableShutterSpeeds.get()[std::size_t(chosenShutter - 1)], 1e-6);
    tap("shutter");
    ASSERT_TRUE(
        dispatch.runUntil([&] { return !camera->seriesPosition(); }, platform::Seconds(10)));

    tap("total time readout");
    ASSERT_TRUE(shows("total time selector"));
    EXPECT_EQ(item(5), "0:05");
    EXPECT_FALSE(sideBySide(5)) << "one column";
    // One column shows the chosen row and the edges of its neighbours.
    const Rect next = frameOf("selector item 6");
    input->tap({next.midX(), next.minY() + 3});
    graph->settle();
    EXPECT_EQ(camera->exposureSequence->selectedDurationIndex(), 6);
    EXPECT_EQ(value("total time readout"), "0:06");

    // The EV readout returns a manual exposure to automatic before it opens.
    tap("EV readout");
    EXPECT_FALSE(camera->isManualExposure.get());
    ASSERT_TRUE(shows("EV selector"));
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 24); // 0 of -8 ... 8 in thirds
    EXPECT_EQ(item(24), "0");
    EXPECT_EQ(item(25), "+¹/₃");
    tap("selector item 25");
    advance(0.5);
    EXPECT_NEAR(device().exposureTargetBias(), 1.0 / 3, 1e-6);
}

TEST_F(ExposurePanelTest, NightModeKeepsAShutterPositionOfItsOwnInOneColumn) {
    show();
    useManualExposure(1.0 / 60, 100);
    const auto normal = camera->selectedShutterSpeedIndex.get();
    camera->sequenceMode = SequenceMode::nightMode;
    tap("shutter readout");
    EXPECT_EQ(item(0), "1s");
    EXPECT_FALSE(sideBySide(0)) << "one column";
    tap("selector item 1");
    EXPECT_EQ(camera->selectedNightModeShutterSpeedIndex, 1);
    EXPECT_EQ(value("shutter readout"), "2s");

    camera->sequenceMode = SequenceMode::frameAveraging;
    tap("shutter readout");
    EXPECT_TRUE(sideBySide(normal - 1)) << "three columns";
    EXPECT_EQ(camera->selectedShutterSpeedIndex.get(), normal);
    EXPECT_EQ(camera->selectedNightModeShutterSpeedIndex, 1);

    // The duration and EV readouts do nothing in night mode.
    tap("preview");
    camera->sequenceMode = SequenceMode::nightMode;
    tap("total time readout");
    tap("EV readout");
    EXPECT_FALSE(shows("selector host"));
}

TEST_F(ExposurePanelTest, ATapOnThePreviewClosesTheSelectorsInsteadOfFocusing) {
    show();
    tap("ISO readout");
    const auto focus = camera->focusPoint.get();
    tap("preview");
    EXPECT_FALSE(shows("selector host"));
    EXPECT_EQ(camera->focusPoint.get(), focus);
}

TEST(SelectorOverlaysView, TheSixtyFourRunLengthsReadApart) {
    const auto& table = ExposureSequence::durations();
    const auto items =
        SelectorOverlaysView::durationItems(std::vector<double>(table.begin(), table.end()));
    std::set<std::string> texts;
    for (const auto& item : items) {
        texts.insert(item.displayString());
    }
    EXPECT_EQ(texts.size(), 64u);
    EXPECT_EQ(items[0].displayString(), "Single Frame");
    EXPECT_EQ(items[16].displayString(), "1:00");
    EXPECT_EQ(items[39].displayString(), "1:00:00");
}

} // namespace
} // namespace qv
