#pragma once

#include "platform/capture/CapturedPhoto.hpp"
#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Device.hpp"
#include "platform/compute/TextureCache.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qv {

// A delivered photo as the mergers hold it, the customizer their results are
// encoded through, and the encoded result.
using PhotoPtr = std::shared_ptr<platform::CapturedPhoto>;
using Customizer = platform::PhotoFileDataCustomizer;
using FileData = platform::imaging::FileData;

// Texture formats of one kind of photo: the texture over a photo's pixels and
// the merger's work textures.
struct MergeFormats {
    platform::compute::TextureFormat photo;
    platform::compute::TextureFormat work;
};
namespace mergeformats {
// 32-bit processed colour: 8-bit channels summed in 32 bits.
inline constexpr MergeFormats processed{platform::compute::TextureFormat::rgba8Uint,
                                        platform::compute::TextureFormat::rgba32Uint};
// Bayer RAW: 16-bit samples summed in 32 bits.
inline constexpr MergeFormats bayer{platform::compute::TextureFormat::r16Uint,
                                    platform::compute::TextureFormat::r32Uint};
// 64-bit RGBA RAW: normalised 16-bit channels summed in single floats (half
// floats stop adding small values after about two thousand frames).
inline constexpr MergeFormats proRaw{platform::compute::TextureFormat::rgba16Unorm,
                                     platform::compute::TextureFormat::rgba32Float};
} // namespace mergeformats

// The GPU side every merger shares: one device, pipelines made by kernel name,
// work textures of the first photo's size, texture caches that view photos'
// pixel buffers without copying, a lazily made command queue, the busy flag,
// and one synchronous compute pass. A merger class owns one frame and adds its
// photos, counters and passes.
//
// Console texts: "Compute pipeLine state creation failure" (a pipeline that
// cannot be made), "make buffer failed, texture cache is not exist" and
// "FrameMixer make buffer failed to create preview texture" (photo textures),
// "Metal Problem" (a refused addition), "Failed to create Metal command
// encoder" (a pass that could not run).
class GpuMergeFrame {
public:
    struct Setup {
        std::vector<std::string> kernels;   // looked up in this order
        std::vector<std::string> pipelines; // made in this order; roles are indices here
        MergeFormats formats;
        std::size_t workTextures = 1;
        std::size_t textureCaches = 1;        // only the first makes textures
        bool printBufferAfterLookups = false; // print the buffer's description
    };

    // The frame for a run whose first photo has this pixel buffer; nothing
    // when the buffer is null, there is no device or library, a kernel is
    // missing, a pipeline or work texture cannot be made.
    static std::unique_ptr<GpuMergeFrame> make(const std::shared_ptr<platform::PixelBuffer>& buffer,
                                               const Setup& setup);

    // Holds the busy flag for one operation and releases it when it goes,
    // unless a pass failed: then the merger stays busy for good.
    class BusyClaim {
    public:
        explicit BusyClaim(std::atomic<bool>& flag) : flag_(&flag) {}
        BusyClaim(BusyClaim&& other) noexcept : flag_(std::exchange(other.flag_, nullptr)) {}
        BusyClaim& operator=(BusyClaim&&) = delete;
        ~BusyClaim() {
            if (flag_) {
                flag_->store(false);
            }
        }
        void keepBusyForGood() { flag_ = nullptr; }

    private:
        std::atomic<bool>* flag_;
    };

    // The busy flag taken atomically; nothing when an operation already holds it.
    std::optional<BusyClaim> claim();
    bool isBusy() const { return busy_.load(); }

    // The guard of an addition: the buffer exists, has the first photo's width
    // and height (each compared, so a transposed photo is refused), the merger
    // is idle, and its photo texture can be made. On success the merger is
    // busy until the claim goes; otherwise "Metal Problem" is printed.
    struct Admission {
        BusyClaim claim;
        platform::compute::Texture frame;
    };
    std::optional<Admission> admit(const std::shared_ptr<platform::PixelBuffer>& buffer);

    // Whether a result may start: the kept buffer exists and the merger is idle.
    // Prints nothing of its own (texture messages aside).
    std::optional<Admission> admitResult(const std::shared_ptr<platform::PixelBuffer>& buffer);

    // A texture over the buffer's plane 0 in the photo format, from the first
    // cache; prints and flushes as stated above on failure.
    std::optional<platform::compute::Texture>
    makeTexture(const std::shared_ptr<platform::PixelBuffer>& buffer);

    // One parameter buffer's bytes.
    template <class T>
    static std::span<const std::byte> bytes(const T& value) {
        return std::as_bytes(std::span<const T, 1>(&value, 1));
    }

    // One compute pass with the pipeline of role `pipeline` (its index in
    // Setup::pipelines), textures bound from index 0 and one parameter buffer
    // per entry of `parameters` from index 0; committed and waited for. False
    // after printing "Failed to create Metal command encoder" and flushing the
    // first texture cache when any object is missing or the pass is refused.
    bool runPass(const char* label, std::size_t pipeline,
                 std::initializer_list<platform::compute::Texture> textures,
                 std::initializer_list<std::span<const std::byte>> parameters = {});

    // Threadgroups for a texture of width x height with the pipeline's
    // execution width and maximum threads (4000 x 3000 with 32 and 1024 gives
    // 125 x 94 groups of 32 x 32).
    static platform::compute::Size
    threadsPerThreadgroup(const platform::compute::ComputePipelineState& pipeline);
    static platform::compute::Size
    threadgroups(const platform::compute::ComputePipelineState& pipeline, std::size_t width,
                 std::size_t height);

    const platform::compute::Texture& workTexture(std::size_t index) const {
        return workTextures_[index];
    }
    std::size_t pixelCount() const { return width_ * height_; }
    platform::FourCharCode pixelFormat() const { return pixelFormat_; }
    // The texture cache that makes photo textures (tests read its flush count).
    const platform::compute::TextureCache* textureCache() const {
        return caches_.empty() || !caches_[0] ? nullptr : &*caches_[0];
    }

private:
    GpuMergeFrame() = default;

    std::shared_ptr<platform::compute::Device> device_;
    std::vector<std::shared_ptr<const platform::compute::ComputePipelineState>> pipelines_;
    MergeFormats formats_{};
    platform::compute::TextureDescriptor textureDescriptor_;
    std::vector<platform::compute::Texture> workTextures_;
    std::vector<std::optional<platform::compute::TextureCache>> caches_;
    std::shared_ptr<platform::compute::CommandQueue> commandQueue_; // made on the first pass
    std::size_t width_ = 0;
    std::size_t height_ = 0;
    platform::FourCharCode pixelFormat_ = 0;
    // Set while an operation runs, and for good after a failed pass. Atomic so
    // a call that arrives from another queue during a pass is refused cleanly.
    std::atomic<bool> busy_{false};
};

} // namespace qv
