#include "app/settings/SettingsView.hpp"

#include "app/Metrics.hpp"
#include "app/settings/DelayPicker.hpp"
#include "app/settings/FileFormatPicker.hpp"
#include "app/settings/SequenceSettingRow.hpp"
#include "app/settings/SettingsCloseButton.hpp"
#include "app/settings/SettingsLinksRow.hpp"
#include "app/settings/SettingsToggleRow.hpp"
#include "components/SelectorGrid.hpp"
#include "platform/formatting/DurationFormatter.hpp"
#include "platform/formatting/NumberFormatter.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/controls/Scrolling.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/overlays/OrientationAngle.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using namespace platform::ui;
using namespace appmetrics;
using platform::Binding;
using platform::DeviceOrientation;

namespace {

int clampedIndex(std::int64_t index, std::size_t count) {
    return static_cast<int>(std::clamp<std::int64_t>(index, 0, std::int64_t(count) - 1));
}

// A stepper's tap: one step of a published index within a table of `count` entries, from the
// index as it is when the tap runs (several taps may arrive before the rows are built again);
// a step past either end does nothing.
std::function<void()> stepper(platform::Published<std::int64_t>& index, int step,
                              std::size_t count) {
    return [&index, step, count] {
        const int to = clampedIndex(index.get(), count) + step;
        if (to >= 0 && to < int(count)) {
            index.set(to);
        }
    };
}

std::string durationText(double seconds) {
    return platform::formatPositionalDuration(seconds);
}

void openGrid(const State<bool>& flag, platform::Animation animation) {
    platform::withAnimation(animation, [&] { flag.set(true); });
}

platform::Animation gridOpening() {
    return platform::Animation::easeOut(gridOpeningSeconds);
}

// A flip of one stored Bool of the controller.
SettingsToggleRow flipRow(const char* label, platform::StoredSetting<bool>& setting,
                          double fontSize = settingsFontSize) {
    return SettingsToggleRow{label, fontSize, setting.get(),
                             [&setting] { setting.set(!setting.get()); }};
}

// A grid's selection: a published index of the controller, read clamped into its table.
Binding<int> publishedIndex(platform::Published<std::int64_t>& index, std::size_t count) {
    return Binding<int>([&index, count] { return clampedIndex(index.get(), count); },
                        [&index](int i) { index.set(i); });
}

// A grid's selection: a stored index of the sequence, read clamped into its table. The
// sequence is no observable object of its own, so a write announces the controller's change
// first.
Binding<int> sequenceIndex(CameraManager& camera, std::int64_t (ExposureSequence::*read)() const,
                           void (ExposureSequence::*write)(std::int64_t), std::size_t count) {
    const auto sequence = camera.exposureSequence;
    return Binding<int>(
        [sequence, read, count] { return clampedIndex(((*sequence).*read)(), count); },
        [&camera, sequence, write](int i) {
            camera.sendWillChange();
            ((*sequence).*write)(i);
        });
}

std::string bracketText(float ev) {
    if (ev == 0) {
        return localizedString("Off");
    }
    std::string text = ev > 0 ? "+" : "";
    text += std::to_string(static_cast<int>(std::trunc(ev)));
    text += " EV";
    return text;
}

std::string repetitionsText(std::int64_t runs) {
    return runs == 1 ? localizedString("Off") : platform::formatInteger(runs);
}

View sequenceRows(const SettingsView& view, CameraManager& camera) {
    const auto& sequence = camera.exposureSequence;
    const auto& durations = ExposureSequence::durations();
    const auto& intervals = ExposureSequence::interimIntervals();
    const auto& repetitions = CameraManager::repetitionsRange();

    const int duration = clampedIndex(sequence->selectedDurationIndex(), durations.size());
    const int interim = clampedIndex(sequence->selectedInterimIntervalIndex(), intervals.size());
    const int runs = clampedIndex(camera.selectedRepetitionsIndex.get(), repetitions.size());
    const int delay = clampedIndex(camera.selectedIntervalDelayIndex.get(), durations.size());
    const float bracket = sequence->bracketEV;

    const auto durationFlag = view.isShowingDurationSelector;
    const auto interimFlag = view.isShowingInterimsSelector;
    const auto repetitionsFlag = view.isShowingRepetitionsSelector;
    const auto delayFlag = view.isShowingIntervalDelaySelector;
    // Each step tests its own limit; a step that moves announces the change after it.
    const auto stepBracket = [&camera, sequence](int step) {
        const float moved = sequence->bracketEV + float(step);
        if (moved < -float(bracketLimit) || moved > float(bracketLimit)) {
            return;
        }
        sequence->bracketEV = moved;
        camera.sendWillChange();
    };

    return Group({
        SequenceSettingRow{"Total Time",
                           duration == 0 ? std::string("Single Frame")
                                         : durationText(durations[std::size_t(duration)]),
                           true, duration >= 1, duration < int(durations.size()) - 1,
                           [&camera] { camera.decreaseDuration(); },
                           [&camera] { camera.increaseDuration(); },
                           [durationFlag] { openGrid(durationFlag, gridOpening()); }},
        SequenceSettingRow{
            "Save interims every",
            intervals[std::size_t(interim)] == 0 ? localizedString("Off")
                                                 : durationText(intervals[std::size_t(interim)]),
            false, interim >= 1, interim < int(intervals.size()) - 1,
            [&camera] { camera.decreaseInterimInterval(); },
            [&camera] { camera.increaseInterimInterval(); },
            [interimFlag] { openGrid(interimFlag, platform::Animation::defaultAnimation()); }},
        If(camera.sequenceMode.get() == SequenceMode::frameAveraging,
           [&] {
               return View(SequenceSettingRow{"Parallel bracketing (RAW only)",
                                              bracketText(bracket),
                                              false,
                                              bracket > -float(bracketLimit),
                                              bracket < float(bracketLimit),
                                              [stepBracket] { stepBracket(-1); },
                                              [stepBracket] { stepBracket(1); },
                                              {}});
           }),
        SequenceSettingRow{"Interval Repetitions", repetitionsText(repetitions[std::size_t(runs)]),
                           true, runs >= 1, runs < int(repetitions.size()) - 1,
                           stepper(camera.selectedRepetitionsIndex, -1, repetitions.size()),
                           stepper(camera.selectedRepetitionsIndex, 1, repetitions.size()),
                           [repetitionsFlag] { openGrid(repetitionsFlag, gridOpening()); }, true},
        If(repetitions[std::size_t(runs)] >= 2,
           [&] {
               return View(SequenceSettingRow{
                   "Interval Delay",
                   delay == 0 ? localizedString("Off")
                              : durationText(camera.selectedIntervalDelay()),
                   true, delay >= 1, delay < int(durations.size()) - 1,
                   stepper(camera.selectedIntervalDelayIndex, -1, durations.size()),
                   stepper(camera.selectedIntervalDelayIndex, 1, durations.size()),
                   [delayFlag] { openGrid(delayFlag, gridOpening()); }});
           }),
        flipRow("Image Preview while shooting", camera.settings.showImagePreviewWhileShooting),
        flipRow("LT mode save additional FA result", camera.settings.saveFAwithLT),
    });
}

View settingRows(const SettingsView& view, CameraManager& camera) {
    auto& settings = camera.settings;
    const auto cloud = view.saveToCloudState;
    return Group({
        SettingsToggleRow{"Save GPS data", settingsFontSize,
                          settings.shouldSaveLocationData.get() && camera.isGPSAuthorized.get(),
                          [&camera] { camera.toggleSaveLocationData(); }},
        VStack(
            {HStack({View(FileFormatPicker{settings.fileFormat.binding(),
                                           {SupportedImageFormat::RAW, SupportedImageFormat::JPEG,
                                            SupportedImageFormat::TIFF}})
                         .padding(Edges::leading, formatPickerLeadingPadding)}),
             flipRow("Lock Format Switch", settings.lockFormat, settingsSmallFontSize)}),
        HStack({Image::system("timer"),
                DelayPicker{settings.shutterReleaseDelay.binding(),
                            {Delay::off, Delay::two, Delay::five, Delay::ten}}}),
        SettingsToggleRow{"Backup to iCloud", settingsFontSize, *cloud,
                          [cloud, &camera] {
                              const bool on = !*cloud;
                              cloud.set(on);
                              camera.photoLibraryManager.isEnableCloudStorage.set(on);
                          }},
        // The setting's own change handler sets the volume keys up or down, once per write.
        flipRow("Bluetooth/Volume Shutter Release", settings.useVolumeShutter),
    });
}

View listBlock(const SettingsView& view, CameraManager& camera) {
    return VStack({List(Group({sequenceRows(view, camera), settingRows(view, camera)}))
                       .background(View(Color::black()).ignoresSafeArea())
                       .testTag("settings list"),
                   Spacer(),
                   View(SettingsLinksRow{[&camera] { camera.openPrivacyPolicy(); },
                                         [&camera] { camera.openTermsOfUse(); }})
                       .ignoresSafeArea()
                       .padding(Edges::top, linksTopPadding)
                       .padding(Edges::horizontal)});
}

// One of the four grids over the screen: one column, closed by a pick, centred on the
// choice, on black, growing from the centre. Its labels are made only while it shows.
View sequenceGrid(const State<bool>& flag, const char* title, Binding<int> selection,
                  const std::function<std::vector<std::string>()>& labels) {
    return If(*flag, [&] {
        return View(SelectorGrid(localizedString(title), flag.binding(), selection,
                                 GridSelectableItem::list(labels()), 1, true, 0, true))
            .background(View(Color::black()).ignoresSafeArea())
            .transition(Transition::scaleFrom(gridTransitionScale, UnitPoint::center()));
    });
}

std::vector<std::string> repetitionLabels() {
    std::vector<std::string> labels;
    for (const std::int64_t count : CameraManager::repetitionsRange()) {
        labels.push_back(repetitionsText(count));
    }
    return labels;
}

View grids(const SettingsView& view, CameraManager& camera) {
    const auto& durations = ExposureSequence::durations();
    const auto& intervals = ExposureSequence::interimIntervals();
    return Group({
        sequenceGrid(view.isShowingRepetitionsSelector, "Interval Repetitions",
                     publishedIndex(camera.selectedRepetitionsIndex,
                                    CameraManager::repetitionsRange().size()),
                     repetitionLabels),
        sequenceGrid(view.isShowingIntervalDelaySelector, "Interval Delay",
                     publishedIndex(camera.selectedIntervalDelayIndex, durations.size()),
                     [&] { return SettingsView::intervalLabels(durations); }),
        sequenceGrid(view.isShowingDurationSelector, "Total Time",
                     sequenceIndex(camera, &ExposureSequence::selectedDurationIndex,
                                   &ExposureSequence::setSelectedDurationIndex, durations.size()),
                     [&] { return SettingsView::durationLabels(durations); }),
        sequenceGrid(view.isShowingInterimsSelector, "Save interims every",
                     sequenceIndex(camera, &ExposureSequence::selectedInterimIntervalIndex,
                                   &ExposureSequence::setSelectedInterimIntervalIndex,
                                   intervals.size()),
                     [&] { return SettingsView::intervalLabels(intervals); }),
    });
}

} // namespace

SettingsView::SettingsView(CameraManager& camera, Binding<bool> presented, Size safeSize,
                           double cameraIconSize, Color inactiveColor)
    : cameraManager(camera),
      isPresented(std::move(presented)), sysInfo{"Quarn Vesil sysinfo",
                                                 std::vector<std::string>{supportAddress},
                                                 "Attached please find my sysinfo report.",
                                                 std::nullopt},
      saveToCloudState(camera.photoLibraryManager.isEnableCloudStorage.get()),
      safeScreenSize(safeSize), iconSize(cameraIconSize), inActiveColor(inactiveColor) {}

std::vector<std::string> SettingsView::durationLabels(std::span<const double> seconds) {
    std::vector<std::string> labels;
    for (const double value : seconds) {
        labels.push_back(value == 0 ? std::string("Single Frame") : durationText(value));
    }
    return labels;
}

std::vector<std::string> SettingsView::intervalLabels(std::span<const double> seconds) {
    std::vector<std::string> labels;
    for (const double value : seconds) {
        labels.push_back(value == 0 ? localizedString("Off") : durationText(value));
    }
    return labels;
}

Size SettingsView::layoutSize(Size safeSize, DeviceOrientation orientation) {
    const bool landscape = orientation == DeviceOrientation::landscapeLeft ||
                           orientation == DeviceOrientation::landscapeRight;
    return landscape ? Size{safeSize.height, safeSize.width} : safeSize;
}

View SettingsView::body() const {
    CameraManager& camera = cameraManager.get();
    const DeviceOrientation orientation = camera.deviceOrientation.get();
    const Size size = layoutSize(safeScreenSize, orientation);
    return ZStack({View(Color::black()).ignoresSafeArea(),
                   VStack({listBlock(*this, camera)})
                       .frame(size.width * settingsListShare, size.height * settingsListShare),
                   VStack({HStack({Spacer(),
                                   SettingsCloseButton{isPresented, iconSize, inActiveColor}}),
                           Spacer()}),
                   grids(*this, camera)})
        .colorScheme(ColorScheme::dark)
        .frame(size.width, size.height)
        .rotationEffect(orientationAngle(orientation))
        .testTag("settings");
}

} // namespace qv
