#pragma once

#include "model/Enumerations.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

// The row at the top of the preview: the sequence mode's badge on the left ("FA", "LT",
// "ST", "NM"; gray in frame averaging, white in the other modes) and the format of saved
// pictures on the right ("RAW", "JPEG", "TIFF"; always gray), each in a 90 x 25-point
// slot 12 points in from its side and 12 below the top, the safe area ignored; under the
// row a spacer, so it sits at the top. A tap on a badge runs its action (the screen's
// "mode badge" and "format badge" rows).
struct BadgeRowView {
    SequenceMode sequenceMode = SequenceMode::frameAveraging;
    SupportedImageFormat fileFormat = SupportedImageFormat::JPEG;
    std::size_t cameraCount = 0; // the phone's back cameras
    double unitSize = 0;         // the screen's layout unit
    std::function<void()> onModeBadge;
    std::function<void()> onFormatBadge;

    platform::ui::View body() const; // the badges are tagged "mode badge" and
                                     // "format badge", their frames "badge slot"
};

} // namespace qv
