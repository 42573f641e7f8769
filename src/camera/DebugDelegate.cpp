#include "camera/DebugDelegate.hpp"

#include "engine/kernels/MergeKernels.hpp"
#include "model/PixelFormatNames.hpp"
#include "platform/compute/TextureCache.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <string>

namespace qv {

using namespace platform::compute;
using platform::PixelBuffer;
using platform::print;
using platform::Separator;
using platform::Terminator;

namespace {

constexpr std::size_t blockSide = 11;

double secondsSince(platform::MonotonicTime start) {
    return platform::Seconds(platform::monotonicNow() - start).count();
}

// The block of pixels from the centre of a 16-bit four-channel photo, one line per pixel
// (" r g b a"), column by column; only pixels inside the picture are read.
std::string centreBlock(PixelBuffer& buffer) {
    const std::size_t width = buffer.width();
    const std::size_t height = buffer.height();
    const std::size_t x0 = width / 2;
    const std::size_t y0 = height / 2;
    const std::size_t x1 = std::min(width, x0 + blockSide);
    const std::size_t y1 = std::min(height, y0 + blockSide);
    std::string lines;
    buffer.lock(true);
    for (std::size_t x = x0; x < x1; ++x) {
        for (std::size_t y = y0; y < y1; ++y) {
            const std::uint16_t* pixel = buffer.row<std::uint16_t>(y) + 4 * x;
            for (std::size_t channel = 0; channel < 4; ++channel) {
                lines += ' ' + std::to_string(pixel[channel]);
            }
            lines += '\n';
        }
    }
    buffer.unlock(true);
    return lines;
}

std::string textureDescription(const Texture& texture) {
    return "<Texture " + std::string(formatName(texture.pixelFormat())) + " " +
           std::to_string(texture.width()) + "x" + std::to_string(texture.height()) +
           " bytesPerRow " + std::to_string(texture.bytesPerRow()) + ">";
}

bool hasFourSixteenBitChannels(const PixelBuffer& buffer) {
    return buffer.pixelFormat() == platform::pixelformat::rgba64LE;
}

} // namespace

DebugDelegate::DebugDelegate()
    : startTime_(platform::monotonicNow()), device_(Device::systemDefault()) {
    if (!device_) {
        return;
    }
    kernels::registerMergeKernels();
    const auto library = device_->makeDefaultLibrary();
    const auto function = library ? library->makeFunction("proOneValue") : std::nullopt;
    if (!function) {
        return;
    }
    std::string error;
    proOneValuePipelineState_ = device_->makeComputePipelineState(*function, error);
    if (!proOneValuePipelineState_) {
        print("no pipeline state created");
    }
}

void DebugDelegate::didFinishProcessingPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                             const std::optional<platform::CaptureError>&) {
    const auto buffer = photo ? photo->pixelBuffer() : nullptr;
    if (!buffer) {
        return;
    }
    const platform::MonotonicTime arrived = platform::monotonicNow();
    print("\n\nDebug pixel buffer received after: ", secondsSince(startTime_), " s\n\n",
          Separator{""}, Terminator{""});
    if (!hasFourSixteenBitChannels(*buffer)) {
        print("Debug pixel dump skipped: not a 16-bit four-channel photo:",
              pixelFormatName(*buffer));
        return;
    }
    const std::string before = centreBlock(*buffer);
    print("\n\nDebug pixel data read after: ", secondsSince(arrived), "\n", before,
          "pixelBuffer.pixelFormat: ", pixelFormatName(*buffer),
          "\npixelBuffer: ", buffer->description(), "\npixelBuffer plane count: ", 1,
          Separator{""});
    runKernel(buffer);
    print(centreBlock(*buffer));
}

void DebugDelegate::runKernel(const std::shared_ptr<PixelBuffer>& buffer) {
    if (!device_) {
        return;
    }
    const auto cache = TextureCache::make(*device_);
    const auto texture = cache ? cache->makeTexture(buffer, TextureFormat::rgba16Unorm,
                                                    buffer->width(), buffer->height(), 0)
                               : std::nullopt;
    if (!texture) {
        return;
    }
    print("\n\nTexture created \n", texture->bytesPerRow() * texture->height(),
          textureDescription(*texture), 1, texture->bytesPerRow(), Separator{"\n"});
    if (!commandQueue_) {
        commandQueue_ = device_->makeCommandQueue();
    }
    if (!commandQueue_ || !proOneValuePipelineState_) {
        return;
    }
    auto commandBuffer = commandQueue_->makeCommandBuffer();
    ComputeCommandEncoder* encoder =
        commandBuffer ? commandBuffer->makeComputeCommandEncoder() : nullptr;
    if (!encoder) {
        return;
    }
    const platform::MonotonicTime start = platform::monotonicNow();
    const std::size_t w = proOneValuePipelineState_->threadExecutionWidth();
    const std::size_t h = proOneValuePipelineState_->maxTotalThreadsPerThreadgroup() / w;
    encoder->setLabel("ProOneValue");
    encoder->setComputePipelineState(proOneValuePipelineState_);
    encoder->setTexture(*texture, 0);
    encoder->dispatchThreadgroups(
        {(texture->width() + w - 1) / w, (texture->height() + h - 1) / h, 1}, {w, h, 1});
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    print("Metal stuff took ", secondsSince(start), Separator{""});
}

} // namespace qv
