#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "platform/dispatch/Clock.hpp"

#include <optional>
#include <string>

// Small steps every merger class shares.
namespace qv::merger {

// Seconds since `start` on the app's clock.
double secondsSince(platform::MonotonicTime start);

// The photo's file data through the customizer; nothing when the photo
// cannot be encoded.
std::optional<FileData> encode(const PhotoPtr& photo, Customizer& customizer);

// A clearing pass run as an operation of its own: takes the busy flag
// (nothing happens when the merger is busy) and runs "ResetAverager" with the
// pipeline of role `pipeline` over `texture`. A failed pass leaves the merger
// busy for good. True when the pass ran.
bool clearOnItsOwn(GpuMergeFrame& frame, std::size_t pipeline,
                   const platform::compute::Texture& texture);

// The shape of every result: the kept photo's buffer admitted (nothing when
// the merger is busy, the buffer is gone or has no texture), `pass` run with
// the output texture over it, then the photo encoded. A failed pass leaves
// the merger busy for good.
template <class Pass>
std::optional<FileData> result(GpuMergeFrame& frame, const PhotoPtr& kept, Customizer& customizer,
                               Pass&& pass) {
    auto admitted = frame.admitResult(kept ? kept->pixelBuffer() : nullptr);
    if (!admitted) {
        return std::nullopt;
    }
    if (!pass(admitted->frame)) {
        admitted->claim.keepBusyForGood();
        return std::nullopt;
    }
    admitted.reset();
    return encode(kept, customizer);
}

} // namespace qv::merger
