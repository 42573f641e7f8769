#pragma once
// The settings screen, presented by the camera screen as a full-screen cover. One
// scrolling list over black: the sequence settings ("Total Time", "Save interims every",
// "Parallel bracketing (RAW only)" in frame averaging, "Interval Repetitions", "Interval
// Delay" from two repetitions on), the toggles and the two pickers, then the web links
// under the list; the close button in the top trailing corner, and the four sequence grids
// over everything while one is open.
//
// The screen owns no setting: every row reads the controller's settings at each build and
// writes them on a tap, so nothing is saved on close. Its own state is which grid is open
// and its copy of "Backup to iCloud", read once when the screen appears.
//
// The whole screen turns with the phone, as the camera screen's icons do: laid out on the
// camera screen's safe size, width and height exchanged in landscape, and rotated about
// its centre (upside down pi, landscape left pi/2, landscape right -pi/2, otherwise 0).
//
// Durations read positionally: m:ss under an hour, h:mm:ss from an hour on, so no two
// entries of a table read alike. Stored positions read clamped into their tables.

#include "camera/CameraManager.hpp"
#include "components/MailData.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

#include <span>
#include <string>
#include <vector>

namespace qv {

struct SettingsView {
    /// `iconSize` and `inActiveColor` are the camera screen's (three layout units; gray):
    /// they size and colour the close button.
    SettingsView(CameraManager& camera, platform::Binding<bool> presented,
                 platform::ui::Size safeSize, double cameraIconSize,
                 platform::ui::Color inactiveColor);

    platform::ui::ObservedObject<CameraManager> cameraManager;
    platform::Binding<bool> isPresented;
    platform::ui::State<bool> isShowingRepetitionsSelector{false};
    platform::ui::State<bool> isShowingIntervalDelaySelector{false};
    platform::ui::State<bool> isShowingDurationSelector{false};
    platform::ui::State<bool> isShowingInterimsSelector{false};
    // A prepared support mail; no view presents it.
    platform::ui::State<bool> isShowingMailView{false};
    MailData sysInfo;
    // "Backup to iCloud" as read when the screen appeared; changed only by its row.
    platform::ui::State<bool> saveToCloudState;
    platform::ui::Size safeScreenSize;
    double iconSize;
    platform::ui::Color inActiveColor;

    /// Tagged "settings".
    platform::ui::View body() const;

    /// The texts of a table of durations: 0 "Single Frame" (shown as it is), other entries
    /// positional.
    static std::vector<std::string> durationLabels(std::span<const double> seconds);
    /// The texts of a table of intervals: 0 the strings table's "Off", other entries
    /// positional.
    static std::vector<std::string> intervalLabels(std::span<const double> seconds);
    /// The size the screen is laid out on: the safe size, exchanged in landscape.
    static platform::ui::Size layoutSize(platform::ui::Size safeSize,
                                         platform::DeviceOrientation orientation);

    static constexpr const char* supportAddress = "support@quarn-vesil.example";
};

} // namespace qv
