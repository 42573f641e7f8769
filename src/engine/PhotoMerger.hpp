#pragma once

#include "model/Enumerations.hpp"
#include "platform/capture/CapturedPhoto.hpp"
#include "platform/imaging/ImagingResult.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace qv {

// A merger accumulates the photos of one run and produces the merged picture
// as the file data of its latest photo. Calls come one at a time from the
// photo queue; each returns when its work is done.
class PhotoMerger {
public:
    virtual ~PhotoMerger() = default;

    // Frames accumulated so far into the main stream. Also read by the
    // sequence's description from other threads: implementations keep it in
    // an atomic.
    virtual std::uint32_t totalFrames1() const = 0;

    // Accumulates one photo.
    virtual void addPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo) = 0;

    // Writes the result for `index` (2: second stream of a bracket; 1: first
    // stream of a bracket or the plain average of a light-trail run; any
    // other: the main picture) into the latest photo's pixel buffer and
    // returns that photo's file data; nothing when no result can be made.
    // `exposureCompensation` is in EV. The accumulated state is left as it
    // was, so results can be taken between additions and more than once.
    virtual std::optional<platform::imaging::FileData> resultData(int index,
                                                                  double exposureCompensation) = 0;
};

// What the merger choice needs to know of the sequence besides the photo.
struct PhotoMergerRequest {
    SequenceMode sequenceMode = SequenceMode::frameAveraging;
    std::uint32_t trailNumberOfFramesToAverage = 1;
    // Whether the creating photo is also the merger's first frame (true), or
    // only gives it its size and format (false).
    bool countFirstPhoto = true;
};

// The outcome of the choice for one photo: either the sequence keeps the
// merger it has (`keepsCurrent`), or it stores `merger`, which is null when no
// merger could be made.
struct PhotoMergerChoice {
    bool keepsCurrent = false;
    std::shared_ptr<PhotoMerger> merger;
};

// Chooses and makes the merger for a photo (the kind of photo and the
// sequence mode decide the class). The exposure sequence calls it on the
// photo queue.
using PhotoMergerFactory = std::function<PhotoMergerChoice(
    const std::shared_ptr<platform::CapturedPhoto>& photo, const PhotoMergerRequest& request)>;

} // namespace qv
