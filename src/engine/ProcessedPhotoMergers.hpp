#pragma once

#include "engine/GpuPhotoMerger.hpp"

#include <cstdint>
#include <memory>

namespace qv {

// Frame averaging of processed (32-bit colour) photos: the per-channel mean
// of every frame. Made from the run's first photo, which it counts.
class MetalRGBA32PhotoMerger final : public GpuPhotoMerger {
public:
    // Nothing when the frame cannot be made (see GpuMergeFrame::make).
    static std::unique_ptr<MetalRGBA32PhotoMerger> make(const PhotoPtr& photo,
                                                        Customizer& customizer);

    void addPhoto(const PhotoPtr& photo) override;
    // Index and compensation are not used. Results are encoded through the
    // customizer given at creation.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

private:
    MetalRGBA32PhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer);
};

// Star trails of processed photos: frames are averaged in groups of
// numberOfFramesToAverage, each group's mean is written into the photo that
// completes it and folded into a running per-channel maximum. The result is
// that maximum once a group has been folded, else the mean of the frames so
// far. Frames after the last complete group are not in a folded result.
class MetalTrailRGBA32PhotoMerger final : public GpuPhotoMerger {
public:
    // With the group size 2 until the creator sets it.
    static std::unique_ptr<MetalTrailRGBA32PhotoMerger> make(const PhotoPtr& photo,
                                                             Customizer& customizer);
    // The merger with framesToAverage as its group size (prints it).
    static std::unique_ptr<MetalTrailRGBA32PhotoMerger>
    make(const PhotoPtr& photo, std::uint32_t framesToAverage, Customizer& customizer);

    void addPhoto(const PhotoPtr& photo) override;
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

    std::uint32_t subTotalFrames() const { return subTotalFrames_; }
    std::uint32_t numberOfFramesToAverage() const { return numberOfFramesToAverage_; }

private:
    MetalTrailRGBA32PhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer);
    void addToMaxFrames(const platform::compute::Texture& groupAverage);
    void resetAccumulation();

    std::uint32_t subTotalFrames_ = 0;
    std::uint32_t numberOfFramesToAverage_ = 2;
    bool hasFoldedGroup_ = false; // a group average is in the maximum texture
};

// Light trails of processed photos: one pass per frame keeps both the sum and
// the per-channel maximum. Result index 1 gives the frame average, any other
// index the light-trail picture (the maximum). The latest photo is held
// strongly, so an aborted run still has a photo to write its result into.
class MetalLightTrailRGBA32PhotoMerger final : public GpuPhotoMerger {
public:
    static std::unique_ptr<MetalLightTrailRGBA32PhotoMerger> make(const PhotoPtr& photo,
                                                                  Customizer& customizer);

    void addPhoto(const PhotoPtr& photo) override;
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

private:
    MetalLightTrailRGBA32PhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer);
    std::optional<FileData> maxFramesResultData();
};

} // namespace qv
