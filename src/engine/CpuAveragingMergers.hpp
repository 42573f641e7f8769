#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "engine/PhotoMerger.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

// The running float sum of one stream of 16-bit photos on the CPU: every
// stored channel of every pixel, and the photo the average is written into.
class CpuAveragingStream {
public:
    // Adds the photo when it has the stream's size and format and the stream
    // is idle; false (nothing added) otherwise.
    bool add(const PhotoPtr& photo);
    // Writes the rounded average into the kept photo's pixels; false when
    // there is no kept photo or the stream is busy. Over 0 frames the photo
    // stays as it was.
    bool writeAverage();
    std::uint32_t frames() const { return frames_.load(); }
    const PhotoPtr& kept() const { return kept_; }

private:
    std::vector<float> sum_;
    std::size_t width_ = 0, height_ = 0;
    platform::FourCharCode format_ = 0;
    std::atomic<std::uint32_t> frames_{0}; // read by the description on other queues
    PhotoPtr kept_;
    std::atomic<bool> busy_{false}; // atomic so a re-entrant call is refused cleanly
};

// Averages the two exposures of a bracket on the CPU, made outside the merger
// choice: sequenceCount 1 or 2 picks the stream, results 1 and 2 are encoded
// with each photo's own metadata; other photos and indices give nothing.
class DualRAWPhotoMerger final : public PhotoMerger {
public:
    // The merger with the creating photo added to its stream.
    static std::unique_ptr<DualRAWPhotoMerger> make(const PhotoPtr& photo);
    std::uint32_t totalFrames1() const override { return streams_[0].frames(); }
    std::uint32_t totalFrames2() const { return streams_[1].frames(); }
    void addPhoto(const PhotoPtr& photo) override;
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

private:
    DualRAWPhotoMerger() = default;
    std::array<CpuAveragingStream, 2> streams_;
};

// Averages photos of 16-bit channels (64-bit RGBA RAW or Bayer) on the CPU,
// made outside the merger choice; the result, for any index, is encoded
// through the customizer.
class ProRAWPhotoMerger final : public PhotoMerger {
public:
    // The merger with the creating photo added.
    static std::unique_ptr<ProRAWPhotoMerger> make(const PhotoPtr& photo, Customizer& customizer);
    std::uint32_t totalFrames1() const override { return stream_.frames(); }
    void addPhoto(const PhotoPtr& photo) override;
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

private:
    explicit ProRAWPhotoMerger(Customizer& customizer) : customizer_(&customizer) {}
    Customizer* customizer_;
    CpuAveragingStream stream_;
};

} // namespace qv
