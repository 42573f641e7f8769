#pragma once

#include "engine/GpuMergeFrame.hpp"
#include "engine/PhotoMerger.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Averages the exposures of a bracketed Bayer RAW run side by side: the photo's
// sequenceCount (1 to the number of streams) picks the stream, and each stream
// has its own sum, count, busy flag and kept photo. Result index k gives the
// average of stream k written into its kept photo and encoded with the photo's
// own metadata (no customizer), so each result keeps its own exposure time;
// any other index gives nothing. The kept photos are held strongly: the capture
// loop lets go of its batch before an aborted run is finished, and both
// results must survive that.
//
// Console texts: "Metal Problem" for a photo without a buffer, of another
// size, without a texture, or with a sequenceCount outside the streams; a
// busy stream drops a photo silently.
class RawStreamsMerger : public PhotoMerger {
public:
    static constexpr std::size_t maxStreams = 3;

    // Frames of stream 1, the merger's frame count.
    std::uint32_t totalFrames1() const override { return streams_[0].frames.load(); }
    // Frames of stream `number` (1 based); 0 outside the streams.
    std::uint32_t totalFrames(int number) const;
    void addPhoto(const PhotoPtr& photo) override;
    // The compensation is not used.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;
    // Clears the sum of stream `number`; no counter changes.
    void resetAccumulation(int number);

protected:
    // Pipeline roles every stream merger has; a subclass's own kernels follow.
    enum Pipeline : std::size_t {
        accumulatorPipeline,
        averagerPipeline,
        clearingPipeline,
        firstOwnPipeline
    };
    struct Kind {
        std::size_t streams;
        std::size_t textureCaches;
        // A subclass's kernels, looked up and made after the three above (their
        // roles are firstOwnPipeline, ...), and its work textures, after the
        // streams' sums.
        std::vector<std::string> ownKernels = {};
        std::size_t ownWorkTextures = 0;
    };
    static std::unique_ptr<GpuMergeFrame> makeFrame(const PhotoPtr& photo, const Kind& kind);
    RawStreamsMerger(std::unique_ptr<GpuMergeFrame> frame, std::size_t streams)
        : frame_(std::move(frame)), streamCount_(streams) {}
    // Clears every stream and its count.
    void resetAll();

    // Called after a photo was accumulated into stream `number`, with every
    // stream idle again.
    virtual void accumulated(int /*number*/) {}
    GpuMergeFrame& frame() { return *frame_; }
    // The sum of stream `number` (1 based).
    const platform::compute::Texture& sumOf(int number) const {
        return frame_->workTexture(std::size_t(number - 1));
    }
    // The latest photo accumulated into stream `number`; null when none.
    PhotoPtr keptPhoto(int number) const;
    // The busy flag of stream `number`; nothing when it is busy or not a stream.
    std::optional<GpuMergeFrame::BusyClaim> claim(int number);
    // The clearing pass over stream `number`'s sum, inside an operation that
    // holds the stream; no counter changes. True when the pass ran.
    bool clearSum(int number);
    // The photo's own file data, without a customizer (so it keeps its own
    // exposure time); nothing when it cannot be encoded.
    static std::optional<FileData> plainFileData(const platform::CapturedPhoto& photo);

private:
    struct Stream {
        std::atomic<std::uint32_t> frames{0}; // read by the description on other queues
        PhotoPtr kept;
        std::atomic<bool> busy{false}; // atomic so a re-entrant call is refused cleanly
    };
    Stream* stream(int number);

    std::unique_ptr<GpuMergeFrame> frame_;
    std::size_t streamCount_;
    std::array<Stream, maxStreams> streams_;
};

// The two exposures of a bracket. Creation prints "Dual RAW merger init took
// <seconds>" and adds the creating photo to its stream; with countFirstPhoto
// false both streams are cleared again and count 0.
class MetalDualRAWPhotoMerger final : public RawStreamsMerger {
public:
    static std::unique_ptr<MetalDualRAWPhotoMerger> make(const PhotoPtr& photo,
                                                         bool countFirstPhoto);
    std::uint32_t totalFrames2() const { return totalFrames(2); }

private:
    using RawStreamsMerger::RawStreamsMerger;
};

// Three exposures side by side, made outside the merger choice; the creating
// photo is added to its stream.
class MetalTripleRAWPhotoMerger final : public RawStreamsMerger {
public:
    static std::unique_ptr<MetalTripleRAWPhotoMerger> make(const PhotoPtr& photo);

private:
    using RawStreamsMerger::RawStreamsMerger;
};

} // namespace qv
