#include "engine/CpuAveragingMergers.hpp"

#include "engine/MergerSupport.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// 16-bit channels per row of a buffer of a 16-bit format.
std::size_t valuesPerRow(const platform::PixelBuffer& buffer) {
    return buffer.width() * platform::bytesPerPixel(buffer.pixelFormat()) / 2;
}

bool holdsSixteenBitChannels(platform::FourCharCode format) {
    return format == platform::pixelformat::rgba64LE || platform::bayerPattern(format);
}

} // namespace

bool CpuAveragingStream::add(const PhotoPtr& photo) {
    const auto& buffer = photo ? photo->pixelBuffer() : nullptr;
    if (!buffer || !holdsSixteenBitChannels(buffer->pixelFormat())) {
        return false;
    }
    if (kept_ && (buffer->width() != width_ || buffer->height() != height_ ||
                  buffer->pixelFormat() != format_)) {
        return false;
    }
    bool idle = false;
    if (!busy_.compare_exchange_strong(idle, true)) {
        return false;
    }
    GpuMergeFrame::BusyClaim claim(busy_);
    if (!kept_) {
        width_ = buffer->width();
        height_ = buffer->height();
        format_ = buffer->pixelFormat();
        sum_.assign(valuesPerRow(*buffer) * height_, 0.0f);
    }
    const std::size_t perRow = valuesPerRow(*buffer);
    buffer->lock(true);
    for (std::size_t y = 0; y < height_; ++y) {
        const std::uint16_t* in = buffer->row<const std::uint16_t>(y);
        float* out = sum_.data() + y * perRow;
        for (std::size_t i = 0; i < perRow; ++i) {
            out[i] += float(in[i]);
        }
    }
    buffer->unlock(true);
    ++frames_;
    kept_ = photo;
    return true;
}

bool CpuAveragingStream::writeAverage() {
    if (!kept_) {
        return false;
    }
    bool idle = false;
    if (!busy_.compare_exchange_strong(idle, true)) {
        return false;
    }
    GpuMergeFrame::BusyClaim claim(busy_);
    const std::uint32_t count = frames_;
    if (count == 0) {
        return true;
    }
    platform::PixelBuffer& buffer = *kept_->pixelBuffer();
    const std::size_t perRow = valuesPerRow(buffer);
    const float inverse = 1.0f / float(count);
    buffer.lock();
    for (std::size_t y = 0; y < height_; ++y) {
        std::uint16_t* out = buffer.row<std::uint16_t>(y);
        const float* in = sum_.data() + y * perRow;
        for (std::size_t i = 0; i < perRow; ++i) {
            out[i] = platform::saturatingCast<std::uint16_t>(std::nearbyint(in[i] * inverse));
        }
    }
    buffer.unlock();
    return true;
}

std::unique_ptr<DualRAWPhotoMerger> DualRAWPhotoMerger::make(const PhotoPtr& photo) {
    std::unique_ptr<DualRAWPhotoMerger> merger(new DualRAWPhotoMerger());
    merger->addPhoto(photo);
    return merger;
}

void DualRAWPhotoMerger::addPhoto(const PhotoPtr& photo) {
    const int stream = photo ? photo->sequenceCount() : 0;
    if (stream != 1 && stream != 2) {
        return;
    }
    // Both streams hold photos of the first photo's size.
    const auto& other = streams_[2 - stream].kept();
    const auto& buffer = photo->pixelBuffer();
    if (other && buffer &&
        (buffer->width() != other->pixelBuffer()->width() ||
         buffer->height() != other->pixelBuffer()->height())) {
        return;
    }
    streams_[std::size_t(stream - 1)].add(photo);
}

std::optional<FileData> DualRAWPhotoMerger::resultData(int index, double) {
    if (index != 1 && index != 2) {
        return std::nullopt;
    }
    CpuAveragingStream& stream = streams_[std::size_t(index - 1)];
    if (!stream.writeAverage()) {
        return std::nullopt;
    }
    auto data = stream.kept()->fileDataRepresentation();
    if (!data) {
        return std::nullopt;
    }
    return std::move(*data);
}

std::unique_ptr<ProRAWPhotoMerger> ProRAWPhotoMerger::make(const PhotoPtr& photo,
                                                           Customizer& customizer) {
    std::unique_ptr<ProRAWPhotoMerger> merger(new ProRAWPhotoMerger(customizer));
    merger->addPhoto(photo);
    return merger;
}

void ProRAWPhotoMerger::addPhoto(const PhotoPtr& photo) {
    stream_.add(photo);
}

std::optional<FileData> ProRAWPhotoMerger::resultData(int, double) {
    if (!stream_.writeAverage()) {
        return std::nullopt;
    }
    return merger::encode(stream_.kept(), *customizer_);
}

} // namespace qv
