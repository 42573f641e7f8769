#pragma once

#include "engine/GpuPhotoMerger.hpp"

#include <cstdint>
#include <memory>

namespace qv {

// Frame averaging of RAW photos: the mean of every accumulated frame,
// written into the latest photo and encoded as its own file (DNG). The two
// classes below differ only in kernels and formats.
class RawAveragingMerger : public GpuPhotoMerger {
public:
    struct Kind {
        MergeFormats formats;
        const char* accumulator;
        const char* averager;
        const char* clearing;
    };

    void addPhoto(const PhotoPtr& photo) override;
    // Index and compensation are not used.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

    // Clears the sum; the frame count is 0 again.
    void resetAccumulation();

protected:
    // The merger for a run whose first photo is `photo`; countFirstPhoto
    // false: the photo only sizes the merger (0 frames, an empty sum).
    template <class Merger>
    static std::unique_ptr<Merger> make(const PhotoPtr& photo, bool countFirstPhoto,
                                        Customizer& customizer, const Kind& kind);

    RawAveragingMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer)
        : GpuPhotoMerger(std::move(frame), customizer) {}

private:
    static std::unique_ptr<GpuMergeFrame> makeFrame(const PhotoPtr& photo, const Kind& kind);
    void start(const PhotoPtr& photo, bool countFirstPhoto);
};

// Bayer RAW photos (one 16-bit sample per pixel), summed in 32 bits: no sum
// can overflow before 65,537 frames, and a sum beyond that saturates.
class MetalRAWPhotoMerger final : public RawAveragingMerger {
public:
    static std::unique_ptr<MetalRAWPhotoMerger> make(const PhotoPtr& photo, bool countFirstPhoto,
                                                     Customizer& customizer);

private:
    friend class RawAveragingMerger;
    using RawAveragingMerger::RawAveragingMerger;
};

// 64-bit RGBA RAW photos (16-bit normalised channels), summed in single
// floats, which keep a constant mean over thousands of frames.
class MetalProRawPhotoMerger final : public RawAveragingMerger {
public:
    static std::unique_ptr<MetalProRawPhotoMerger> make(const PhotoPtr& photo, bool countFirstPhoto,
                                                        Customizer& customizer);

private:
    friend class RawAveragingMerger;
    using RawAveragingMerger::RawAveragingMerger;
};

} // namespace qv
