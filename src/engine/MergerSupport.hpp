#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "platform/dispatch/Clock.hpp"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// Small steps every merger class shares.
namespace qv::merger {

// Seconds since `start` on the app's clock.
double secondsSince(platform::MonotonicTime start);

// Prints "Adding photo takes <s> seconds" for an addition begun at `start`.
void printAdditionTime(platform::MonotonicTime start);

// The photo's file data through the customizer; nothing when the photo
// cannot be encoded.
std::optional<FileData> encode(const PhotoPtr& photo, Customizer& customizer);

// A clearing pass run as an operation of its own: takes the busy flag
// (nothing happens when the merger is busy) and runs "ResetAverager" with the
// pipeline of role `pipeline` over `texture`. A failed pass leaves the merger
// busy for good. True when the pass ran.
bool clearOnItsOwn(GpuMergeFrame& frame, std::size_t pipeline,
                   const platform::compute::Texture& texture);

// `pass` run with the admitted texture; a failed pass leaves the merger busy
// for good. The admission when there was one and the pass ran.
template <class Pass>
std::optional<GpuMergeFrame::Admission>
runAdmitted(std::optional<GpuMergeFrame::Admission> admitted, Pass&& pass) {
    if (admitted && !pass(admitted->frame)) {
        admitted->claim.keepBusyForGood();
        return std::nullopt;
    }
    return admitted;
}

// The shape of every addition: the photo's buffer admitted (nothing when the
// photo is null or refused, see GpuMergeFrame::admit), then `pass` run with
// the photo's texture. The admission is returned when the pass ran, so the
// caller finishes the addition while it still holds the busy flag.
template <class Pass>
std::optional<GpuMergeFrame::Admission> addition(GpuMergeFrame& frame, const PhotoPtr& photo,
                                                 Pass&& pass) {
    return runAdmitted(frame.admit(photo ? photo->pixelBuffer() : nullptr),
                       std::forward<Pass>(pass));
}

// The shape of every result: the kept photo's buffer admitted (nothing when
// the merger is busy, the buffer is gone or has no texture), `pass` run with
// the output texture over it, then the photo encoded once the busy flag is
// released.
template <class Pass>
std::optional<FileData> result(GpuMergeFrame& frame, const PhotoPtr& kept, Customizer& customizer,
                               Pass&& pass) {
    if (!runAdmitted(frame.admitResult(kept ? kept->pixelBuffer() : nullptr),
                     std::forward<Pass>(pass))) {
        return std::nullopt;
    }
    return encode(kept, customizer);
}

// "Averager" with the pipeline of role `pipeline`: the mean of the `count`
// frames summed in work texture `accumulation` written into `output`.
bool average(GpuMergeFrame& frame, std::size_t pipeline, const platform::compute::Texture& output,
             std::size_t accumulation, std::uint32_t count);

// "maxFrames" with the pipeline of role `pipeline`: the per-sample maximum
// kept in work texture `maxFrames` copied into `output`.
bool copyMaxFrames(GpuMergeFrame& frame, std::size_t pipeline, std::size_t maxFrames,
                   const platform::compute::Texture& output);

// A result that is `average` over `count` as it stands once the result holds
// the busy flag (so an addition that just finished is counted).
std::optional<FileData> averageResult(GpuMergeFrame& frame, const PhotoPtr& kept,
                                      Customizer& customizer, std::size_t pipeline,
                                      std::size_t accumulation,
                                      const std::atomic<std::uint32_t>& count);

// A result that is `copyMaxFrames`.
std::optional<FileData> maxFramesResult(GpuMergeFrame& frame, const PhotoPtr& kept,
                                        Customizer& customizer, std::size_t pipeline,
                                        std::size_t maxFrames);

} // namespace qv::merger
