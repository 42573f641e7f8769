#pragma once

#include "camera/SequenceRun.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv {

// What the preview shows while a run shoots: the time left in large digits ("2m 5s") over
// a ring that empties as the run goes on, the run's place in its series ("2 of 3"), and
// under them the picture merged so far once there is one. With the preview while shooting
// on (never in night mode) the ring and the series are left out. The whole display turns
// with the phone.
//
// Every 0.2 s while it is shown it copies the run's time left: the ring moves to it within
// the default animation, and the text is that time rounded up to whole seconds; the text is
// empty once no time is left.
struct ProgressViewQV {
    std::function<double()> remainingTime; // seconds the run has left; negative once past
    double totalDuration = 0;              // the run's length
    bool isPreviewMode = false;            // "imagePreview" on, not in night mode
    std::optional<SeriesPosition> series;  // shown from two runs on
    bool showsMergedPicture = false;       // frames have been merged
    std::shared_ptr<const platform::RgbaImage> previewImage;
    double rotation = 0; // radians

    // The two copies, first the values the screen read when it made the display.
    platform::ui::State<std::string> timeRemaining{std::string{}};
    platform::ui::State<double> remainingTimeInterval{0};

    platform::ui::View body() const; // tagged "progress"; the time "progress time", the
                                     // series "progress series"

    // The text of `seconds` left: rounded up to whole seconds, in the abbreviated style
    // ("2m 5s"); at 0 or below, empty.
    static std::string timeText(double seconds);
};

} // namespace qv
