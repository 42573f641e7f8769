#pragma once

#include "engine/GpuPhotoMerger.hpp"

#include <array>
#include <cstdint>
#include <memory>

namespace qv {

// Turns a star-trail run of Bayer RAW photos into a star-trail picture.
//
// The first two photos fill two filter textures and are not counted. From the
// third on, each frame is accumulated as the median of itself and the two
// frames before it (a light seen in one frame only, an aircraft, is left out;
// a star seen in every frame stays), and the new frame replaces the older
// filter frame. Every `framesToAverage / 2` accumulated frames close a group:
// the group's boosted average (distances above 2112 doubled) is written into
// the group's last photo and folded into a running maximum, the trail. With a
// compensation (telephoto), a pixel of the trail is only raised by a value
// more than 5 above it.
//
// The result is the trail, or the boosted average of the accumulated frames
// while no group has closed (the kept photo unchanged when none was
// accumulated), written into the latest accumulated photo and encoded
// through the customizer. It is returned only when the file can be developed
// again; the check develops it at half size and prints its average colour.
//
// Console texts: "Filter frame <n> added", "<frames> Old filter A|B",
// "reset accu", "reset max", "Frames to average: <n>", "Use compensation:
// <bool>", "Average Color 16 bit:", "Average Color  8 bit:", "Duration:".
class MetalTrailRAWPhotoMergerV2 : public GpuPhotoMerger {
public:
    // The merger for a run whose first photo is `photo` (the first filter
    // frame); nothing when its GPU objects cannot be made. countFirstPhoto
    // false: the photo only sizes the merger, and the next two photos fill
    // the filters again.
    static std::unique_ptr<MetalTrailRAWPhotoMergerV2>
    make(const PhotoPtr& photo, std::uint32_t framesToAverage, bool countFirstPhoto,
         bool useCompensation, Customizer& customizer);

    void addPhoto(const PhotoPtr& photo) override;
    // Index and compensation are not used.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

    // The result without the development check.
    std::optional<FileData> trailResultData();
    void resetAccumulation();
    void resetMaxFrames();

    std::uint32_t numberOfFramesToAverage() const { return numberOfFramesToAverage_; }
    std::uint32_t numberOfMaxedFrames() const { return numberOfMaxedFrames_; }
    int filterFrames() const { return filterFrames_; }

protected:
    template <class Merger>
    static std::unique_ptr<Merger> make(const PhotoPtr& photo, std::uint32_t framesToAverage,
                                        bool countFirstPhoto, bool useCompensation,
                                        Customizer& customizer);
    MetalTrailRAWPhotoMergerV2(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer)
        : GpuPhotoMerger(std::move(frame), customizer) {}

private:
    static std::unique_ptr<GpuMergeFrame> makeFrame(const PhotoPtr& photo);
    // Passes inside an operation that already holds the busy flag; true when
    // the pass ran.
    bool copyToFilterTexture(const platform::compute::Texture& frame);
    bool addToMaxFrames(const platform::compute::Texture& groupAverage);
    bool clearAccumulation();

    int filterFrames_ = 0;
    std::uint32_t subTotalFrames_ = 0;
    std::uint32_t numberOfFramesToAverage_ = 2;
    std::uint32_t numberOfMaxedFrames_ = 0;
    bool useCompensation_ = false;
};

// The earlier form of the star-trail RAW merger, made outside the merger
// choice: the same merging, counting the creating photo, without
// compensation.
class MetalTrailRAWPhotoMerger final : public MetalTrailRAWPhotoMergerV2 {
public:
    static std::unique_ptr<MetalTrailRAWPhotoMerger>
    make(const PhotoPtr& photo, std::uint32_t framesToAverage, Customizer& customizer);

private:
    friend class MetalTrailRAWPhotoMergerV2;
    using MetalTrailRAWPhotoMergerV2::MetalTrailRAWPhotoMergerV2;
};

} // namespace qv
