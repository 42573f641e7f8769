#include "platform/compute/Device.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/compute/TextureCache.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace qv::platform::compute {
namespace {

constexpr TextureFormat allFormats[] = {
    TextureFormat::r16Uint,     TextureFormat::r32Uint,     TextureFormat::rgba8Uint,
    TextureFormat::rgba32Uint,  TextureFormat::rgba16Unorm, TextureFormat::rgba16Float,
    TextureFormat::rgba32Float,
};

TEST(DeviceTexture, StartsAtZeroWithPaddedRowsInEveryFormat) {
    auto device = Device::systemDefault();
    ASSERT_TRUE(device);
    for (const TextureFormat format : allFormats) {
        const auto texture =
            device->makeTexture(TextureDescriptor::texture2D(format, 37, 5, false));
        ASSERT_TRUE(texture) << formatName(format);
        EXPECT_EQ(texture->width(), 37u);
        EXPECT_EQ(texture->height(), 5u);
        EXPECT_EQ(texture->bytesPerRow() % 64, 0u);
        EXPECT_GE(texture->bytesPerRow(), 37 * bytesPerTexel(format));
        for (std::size_t y = 0; y < 5; ++y) {
            const auto* row = texture->row<const std::uint8_t>(y);
            EXPECT_TRUE(std::all_of(row, row + texture->bytesPerRow(), [](auto b) { return !b; }))
                << formatName(format) << " row " << y;
        }
    }
}

TEST(DeviceTexture, RefusesEmptyMipmappedAndFaultedTextures) {
    auto device = Device::systemDefault();
    EXPECT_FALSE(
        device->makeTexture(TextureDescriptor::texture2D(TextureFormat::r32Uint, 0, 4, false)));
    EXPECT_FALSE(
        device->makeTexture(TextureDescriptor::texture2D(TextureFormat::r32Uint, 4, 4, true)));
    Faults faults;
    faults.textureFailure = true;
    ScopedFaults scoped(faults);
    EXPECT_FALSE(
        device->makeTexture(TextureDescriptor::texture2D(TextureFormat::r32Uint, 4, 4, false)));
}

TEST(TextureCache, ViewsThePixelBufferWithoutCopying) {
    auto device = Device::systemDefault();
    auto cache = TextureCache::make(*device);
    ASSERT_TRUE(cache);
    auto buffer = PixelBuffer::make(5, 3, pixelformat::bayer14GRBG);
    ASSERT_EQ(buffer->bytesPerRow(), 64u); // rows padded beyond 5 samples
    buffer->row<std::uint16_t>(2)[4] = 4095;

    auto texture = cache->makeTexture(buffer, TextureFormat::r16Uint, 5, 3, 0);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->bytesPerRow(), buffer->bytesPerRow());
    EXPECT_EQ(texture->row<std::uint16_t>(2)[4], 4095);
    texture->row<std::uint16_t>(1)[0] = 77;
    EXPECT_EQ(buffer->row<std::uint16_t>(1)[0], 77);

    // The texture keeps the pixels alive after the buffer's last other owner goes.
    std::weak_ptr<PixelBuffer> watch = buffer;
    buffer.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(texture->row<std::uint16_t>(1)[0], 77);
}

TEST(TextureCache, RefusesFormatsPlanesAndSizesThatDoNotFit) {
    auto device = Device::systemDefault();
    auto cache = TextureCache::make(*device);
    auto bgra = PixelBuffer::make(4, 4, pixelformat::bgra32);
    auto bayer = PixelBuffer::make(4, 4, pixelformat::bayer14RGGB);
    auto rgba64 = PixelBuffer::make(4, 4, pixelformat::rgba64LE);

    EXPECT_TRUE(cache->makeTexture(bgra, TextureFormat::rgba8Uint, 4, 4, 0));
    EXPECT_TRUE(cache->makeTexture(rgba64, TextureFormat::rgba16Unorm, 4, 4, 0));
    EXPECT_FALSE(cache->makeTexture(bgra, TextureFormat::r16Uint, 4, 4, 0));
    EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::rgba8Uint, 4, 4, 0));
    EXPECT_FALSE(cache->makeTexture(rgba64, TextureFormat::rgba16Float, 4, 4, 0));
    EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::r32Uint, 4, 4, 0));
    EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::r16Uint, 4, 4, 1));
    EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::r16Uint, 5, 4, 0));
    EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::r16Uint, 4, 5, 0));
    EXPECT_FALSE(cache->makeTexture(nullptr, TextureFormat::r16Uint, 4, 4, 0));
}

TEST(TextureCache, FaultSwitchesRefuseTheCacheAndItsTextures) {
    auto device = Device::systemDefault();
    auto bayer = PixelBuffer::make(4, 4, pixelformat::bayer14RGGB);
    auto cache = TextureCache::make(*device);
    {
        Faults faults;
        faults.cacheTextureFailure = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(cache->makeTexture(bayer, TextureFormat::r16Uint, 4, 4, 0));
    }
    EXPECT_TRUE(cache->makeTexture(bayer, TextureFormat::r16Uint, 4, 4, 0));
    cache->flush();
    EXPECT_EQ(cache->flushCount(), 1);

    Faults faults;
    faults.textureCacheFailure = true;
    ScopedFaults scoped(faults);
    EXPECT_FALSE(TextureCache::make(*device));
}

} // namespace
} // namespace qv::platform::compute
