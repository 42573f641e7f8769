#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "engine/PhotoMerger.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

namespace qv {

// What every merger whose passes run on one GpuMergeFrame keeps: the frame
// count, the latest photo (held strongly, so an aborted run still has a photo
// to write its result into), the customizer results are encoded through and
// the frame itself.
class GpuPhotoMerger : public PhotoMerger {
public:
    std::uint32_t totalFrames1() const override { return totalFrames1_.load(); }

protected:
    GpuPhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer)
        : customizer_(&customizer), frame_(std::move(frame)) {}

    // After a frame's pass ran: counts the frame and keeps its photo.
    void countFrame(const PhotoPtr& photo) {
        ++totalFrames1_;
        avPhoto_ = photo;
    }

    std::atomic<std::uint32_t> totalFrames1_{0}; // read by the description on other queues
    PhotoPtr avPhoto_;
    Customizer* customizer_;
    std::unique_ptr<GpuMergeFrame> frame_;
};

} // namespace qv
