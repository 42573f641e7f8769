// The settings screen against the real controller: its turn with the phone, the sequence
// rows with their steps, limits and grids, the toggles, the links and the close button.

#include "app/settings/SettingsView.hpp"

#include "AppTesting.hpp"
#include "StubPrograms.hpp"
#include "engine/ExposureSequence.hpp"
#include "platform/ui/views/Views.hpp"

#include <numbers>
#include <set>

namespace qv::testing {
namespace {

using namespace platform::ui;
using platform::DeviceOrientation;

// The camera screen's safe size on the phone, and its icon size (three layout units).
constexpr Size kSafeSize{390, 763};
constexpr double kIconSize = 3 * 390.0 / 31;

class SettingsScreen : public AppTest {
protected:
    void open() {
        if (!camera) {
            start();
        }
        graph = std::make_unique<ViewGraph>(
            [this] {
                return If(presented, [this] {
                    return View(SettingsView(*camera,
                                             platform::Binding<bool>([this] { return presented; },
                                                                     [this](bool v) {
                                                                         presented = v;
                                                                         graph->invalidate();
                                                                     }),
                                             kSafeSize, kIconSize, Color::gray()));
                });
            },
            testing::phone());
        settle();
    }
    std::string value(const std::string& row) {
        settle();
        return textIn(tree(), "value " + row);
    }
    // The colour of a row's minus or plus symbol.
    Color::Rgba stepperColor(const std::string& tag) {
        settle();
        const Element* symbol = findAll(tree().get(Query::tag(tag)), Query::kind("Image")).at(0);
        return symbol->environment().foregroundColor();
    }
    // Scrolls the list until the element tagged `tag` lies within its visible part.
    void reveal(const std::string& tag) {
        for (int drag = 0; drag < 20; ++drag) {
            settle();
            const Rect visible = tree().get(Query::tag("settings list")).screenFrame();
            const Rect target = tree().get(Query::tag(tag)).screenFrame();
            if (target.midY() >= visible.minY() && target.midY() <= visible.maxY()) {
                return;
            }
            const double by = target.midY() > visible.maxY() ? -100 : 100;
            const Point from{visible.minX() + 10, visible.midY()};
            input().drag(from, {from.x, from.y + by});
        }
        ADD_FAILURE() << tag << " stays out of view";
    }
    // Taps the element tagged `tag` once it is in view (a toggle row on its symbol).
    void tapRow(const std::string& tag) {
        reveal(tag);
        if (tag.starts_with("toggle ")) {
            const Element* symbol =
                findAll(tree().get(Query::tag(tag)), Query::kind("Image")).at(0);
            input().tap(symbol->screenFrame().center());
            return;
        }
        tap(Query::tag(tag));
    }
    bool rowShown(const std::string& label) { return shows(Query::tag("row " + label)); }
    bool checked(const std::string& toggle) {
        settle();
        return symbolsIn(tree(), "toggle " + toggle).at(0) == "checkmark.square";
    }
    bool presented = true;
};

const Color::Rgba white = Color::white().resolved(ColorScheme::dark);
const Color::Rgba darkGray = Color::darkGray().resolved(ColorScheme::dark);

TEST_F(SettingsScreen, TurnsWithThePhoneAndLiesFlatAsInPortrait) {
    struct Case {
        DeviceOrientation orientation;
        Size size;
        double angle;
    };
    for (const Case& c :
         {Case{DeviceOrientation::portrait, {390, 763}, 0},
          Case{DeviceOrientation::landscapeLeft, {763, 390}, std::numbers::pi / 2},
          Case{DeviceOrientation::landscapeRight, {763, 390}, -std::numbers::pi / 2},
          Case{DeviceOrientation::portraitUpsideDown, {390, 763}, std::numbers::pi},
          Case{DeviceOrientation::faceUp, {390, 763}, 0},
          Case{DeviceOrientation::unknown, {390, 763}, 0}}) {
        start();
        camera->deviceOrientation = c.orientation;
        open();
        const Element& settings = tree().get(Query::tag("settings"));
        EXPECT_EQ(settings.frame().size(), c.size) << name(c.orientation);
        // The drawn frame of a quarter turn stands upright on the screen again.
        const Rect drawn = settings.screenFrame();
        const bool quarter = c.size.width > c.size.height;
        EXPECT_NEAR(drawn.width, quarter ? 390 : 390, 0.01) << name(c.orientation);
        EXPECT_NEAR(drawn.height, 763, 0.01) << name(c.orientation);
        EXPECT_EQ(SettingsView::layoutSize(kSafeSize, c.orientation), c.size);
        end();
        camera.reset();
    }
}

TEST_F(SettingsScreen, AFreshInstallShowsTheDefaultsAndNoIntervalDelay) {
    open();
    EXPECT_EQ(value("Total Time"), "0:01");
    EXPECT_EQ(value("Save interims every"), "Off");
    EXPECT_EQ(value("Parallel bracketing (RAW only)"), "Off");
    EXPECT_EQ(value("Interval Repetitions"), "Off");
    EXPECT_FALSE(rowShown("Interval Delay"));
    for (const char* toggle :
         {"Image Preview while shooting", "LT mode save additional FA result", "Save GPS data",
          "Lock Format Switch", "Backup to iCloud", "Bluetooth/Volume Shutter Release"}) {
        EXPECT_FALSE(checked(toggle)) << toggle;
    }
    const auto labelSize = [&](const char* label) {
        return tree().get(Query::text(label)).environment().font.size;
    };
    EXPECT_EQ(labelSize("Lock Format Switch"), 16);
    EXPECT_EQ(labelSize("Backup to iCloud"), 20);
    EXPECT_EQ(SettingsView(*camera, platform::Binding<bool>::constant(true), kSafeSize, kIconSize,
                           Color::gray())
                  .sysInfo.recipients,
              std::vector<std::string>{"support@quarn-vesil.example"});
}

TEST_F(SettingsScreen, TheBracketStepsFromMinusFiveToPlusFiveOnlyInFrameAveraging) {
    open();
    for (const char* text : {"-1 EV", "-2 EV", "-3 EV", "-4 EV", "-5 EV"}) {
        tapRow("minus Parallel bracketing (RAW only)");
        EXPECT_EQ(value("Parallel bracketing (RAW only)"), text);
    }
    EXPECT_EQ(stepperColor("minus Parallel bracketing (RAW only)"), darkGray);
    tapRow("minus Parallel bracketing (RAW only)");
    EXPECT_EQ(camera->exposureSequence->bracketEV, -5);
    for (int step = 0; step < 10; ++step) {
        tapRow("plus Parallel bracketing (RAW only)");
    }
    EXPECT_EQ(value("Parallel bracketing (RAW only)"), "+5 EV");
    EXPECT_EQ(stepperColor("plus Parallel bracketing (RAW only)"), darkGray);
    EXPECT_EQ(stepperColor("minus Parallel bracketing (RAW only)"), white);

    camera->sequenceMode = SequenceMode::lightTrails;
    EXPECT_FALSE(rowShown("Parallel bracketing (RAW only)"));
    EXPECT_EQ(camera->exposureSequence->bracketEV, 0) << "the mode change resets it";
}

TEST_F(SettingsScreen, TwoRepetitionsShowTheIntervalDelayAndTenThousandEndsThePlus) {
    open();
    EXPECT_EQ(stepperColor("minus Interval Repetitions"), darkGray);
    tapRow("plus Interval Repetitions");
    EXPECT_EQ(value("Interval Repetitions"), "2");
    EXPECT_EQ(camera->exposureSequence->repetitions, 2);
    ASSERT_TRUE(rowShown("Interval Delay"));
    EXPECT_EQ(value("Interval Delay"), "Off");
    tapRow("plus Interval Delay");
    EXPECT_EQ(value("Interval Delay"), "0:01");
    EXPECT_EQ(camera->selectedIntervalDelay(), 1);

    camera->selectedRepetitionsIndex = 279;
    EXPECT_EQ(value("Interval Repetitions"), "10,000");
    EXPECT_EQ(stepperColor("plus Interval Repetitions"), darkGray);
    tapRow("plus Interval Repetitions");
    EXPECT_EQ(camera->selectedRepetitionsIndex.get(), 279);

    camera->selectedRepetitionsIndex = 0;
    EXPECT_FALSE(rowShown("Interval Delay"));
    EXPECT_EQ(camera->selectedIntervalDelayIndex.get(), 1) << "kept while hidden";
}

// Taps on the steppers that all reach the view before the rows are built again, as the
// window hands on every queued event before it draws: each moves the setting one step.
TEST_F(SettingsScreen, TapsThatArriveInOneFrameEachMoveTheirSettingOneStep) {
    open();
    const auto tapsInOneFrame = [&](const std::string& tag, int taps) {
        reveal(tag);
        const Point at = tree().get(Query::tag(tag)).screenFrame().center();
        const int rebuilds = graph->rebuilds();
        for (int tap = 0; tap < taps; ++tap) {
            graph->pointer({platform::input::PointerPhase::down, {at.x, at.y}, inputTimeNow()});
            dispatch.runFor(platform::Seconds(0.05));
            graph->pointer({platform::input::PointerPhase::up, {at.x, at.y}, inputTimeNow()});
            dispatch.runFor(platform::Seconds(0.05));
        }
        EXPECT_EQ(graph->rebuilds(), rebuilds) << "the taps came within one frame";
    };
    tapsInOneFrame("plus Total Time", 2);
    EXPECT_EQ(value("Total Time"), "0:03");
    tapsInOneFrame("plus Interval Repetitions", 2);
    EXPECT_EQ(value("Interval Repetitions"), "3");
    EXPECT_EQ(camera->exposureSequence->repetitions, 3);
    tapsInOneFrame("plus Interval Delay", 3);
    EXPECT_EQ(value("Interval Delay"), "0:03");
    tapsInOneFrame("minus Interval Delay", 2);
    EXPECT_EQ(camera->selectedIntervalDelayIndex.get(), 1);
    tapsInOneFrame("minus Interval Repetitions", 2);
    EXPECT_EQ(camera->selectedRepetitionsIndex.get(), 0);
    tapsInOneFrame("minus Interval Repetitions", 2);
    EXPECT_EQ(camera->selectedRepetitionsIndex.get(), 0) << "no step below the first entry";
}

TEST_F(SettingsScreen, DurationsReadPositionallyAndAStoredIndexOutOfRangeReadsTheLastEntry) {
    const auto labels = SettingsView::durationLabels(ExposureSequence::durations());
    EXPECT_EQ(labels.front(), "Single Frame");
    EXPECT_EQ(std::set<std::string>(labels.begin(), labels.end()).size(), 64u);
    EXPECT_EQ(labels[10], "0:10");
    EXPECT_EQ(labels[16], "1:00");
    EXPECT_EQ(labels[39], "1:00:00");
    EXPECT_EQ(labels[63], "24:00:00");
    const auto intervals = SettingsView::intervalLabels(ExposureSequence::interimIntervals());
    EXPECT_EQ(intervals.front(), "Off");
    EXPECT_EQ(intervals.back(), "1:00:00");

    settingsStore->store().set(ExposureSequence::totalTimeKey, std::int64_t(99));
    settingsStore->store().set(ExposureSequence::interimIndexKey, std::int64_t(-4));
    open();
    EXPECT_EQ(value("Total Time"), "24:00:00");
    EXPECT_EQ(stepperColor("plus Total Time"), darkGray);
    EXPECT_EQ(value("Save interims every"), "Off");
    tapRow("minus Total Time");
    EXPECT_EQ(value("Total Time"), "23:00:00");
    camera->sendWillChange();
    camera->exposureSequence->setSelectedDurationIndex(0);
    EXPECT_EQ(value("Total Time"), "Single Frame");
}

TEST_F(SettingsScreen, APickInAGridClosesItAndTheRowShowsTheValueAtOnce) {
    open();
    tapRow("value Total Time");
    ASSERT_TRUE(shows(Query::tag("selector")));
    EXPECT_TRUE(shows(Query::text("Single Frame")));
    tap(Query::text("0:03"));
    EXPECT_FALSE(shows(Query::tag("selector")));
    EXPECT_EQ(value("Total Time"), "0:03");
    EXPECT_EQ(settingsStore->store().integerValue(ExposureSequence::totalTimeKey), 3);

    tapRow("value Save interims every");
    tap(Query::text("0:30"));
    EXPECT_EQ(value("Save interims every"), "0:30");

    tapRow("value Interval Repetitions");
    tap(Query::text("3"));
    EXPECT_EQ(value("Interval Repetitions"), "3");
    tapRow("value Interval Delay");
    tap(Query::text("0:02"));
    EXPECT_EQ(value("Interval Delay"), "0:02");
}

TEST_F(SettingsScreen, SaveGPSDataAsksForAccessAndTurnsOnOnceItIsGranted) {
    withPermissions("camera=authorized,photos=authorized");
    answerPrompts(true);
    settingsStore->store().set("saveLocationData", true);
    open();
    EXPECT_FALSE(checked("Save GPS data")) << "stored true, but no access";
    tapRow("toggle Save GPS data");
    EXPECT_EQ(prompts, std::vector{platform::PermissionService::location});
    EXPECT_TRUE(camera->settings.shouldSaveLocationData.get());
    EXPECT_TRUE(checked("Save GPS data"));
    tapRow("toggle Save GPS data");
    EXPECT_FALSE(checked("Save GPS data"));
    EXPECT_FALSE(camera->settings.shouldSaveLocationData.get());
}

TEST_F(SettingsScreen, BackupToICloudKeepsTheValueItWasOpenedWithAndWritesItsOwnFlip) {
    open();
    camera->photoLibraryManager.isEnableCloudStorage = true; // changed elsewhere
    camera->sendWillChange();
    EXPECT_FALSE(checked("Backup to iCloud"));
    tapRow("toggle Backup to iCloud");
    EXPECT_TRUE(checked("Backup to iCloud"));
    EXPECT_EQ(settingsStore->store().boolValue("cloudStorage"), true);
    tapRow("toggle Backup to iCloud");
    EXPECT_EQ(settingsStore->store().boolValue("cloudStorage"), false);
}

TEST_F(SettingsScreen, TheVolumeRowRunsTheChangeHandlerOncePerTap) {
    open();
    tapRow("toggle Bluetooth/Volume Shutter Release");
    EXPECT_TRUE(checked("Bluetooth/Volume Shutter Release"));
    tapRow("toggle Image Preview while shooting");
    tapRow("toggle LT mode save additional FA result");
    tapRow("toggle Lock Format Switch");
    pump();
    const std::string text = console.text();
    std::size_t count = 0;
    for (auto at = text.find("Volume Shutter setting changed to true"); at != std::string::npos;
         at = text.find("Volume Shutter setting changed to true", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(camera->settings.showImagePreviewWhileShooting.get());
    EXPECT_TRUE(camera->settings.saveFAwithLT.get());
    EXPECT_TRUE(camera->settings.lockFormat.get());
}

TEST_F(SettingsScreen, TheLinksOpenTheirPagesAndTheCloseButtonEndsTheScreen) {
    StubPrograms programs;
    programs.add("xdg-open");
    open();
    tap(Query::text("Privacy Policy"));
    tap(Query::text("Terms of Use"));
    pump();
    const auto runs = programs.runs("xdg-open");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].at(0).ends_with("/privacy")) << runs[0].at(0);
    EXPECT_TRUE(runs[1].at(0).ends_with("/terms-conditions")) << runs[1].at(0);
    EXPECT_TRUE(runs[0].at(0).starts_with("https://"));

    tap(Query::tag("settings close"));
    EXPECT_FALSE(presented);
    EXPECT_FALSE(shows(Query::tag("settings")));
}

} // namespace
} // namespace qv::testing
