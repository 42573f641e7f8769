#include "platform/photos/ImageManager.hpp"

#include "PhotoTestSupport.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"

namespace qv::platform::test {
namespace {

struct Delivery {
    std::optional<RgbaImage> image;
    ImageResultInfo info;
};

class ImageManagerTest : public PhotoLibraryTest {
protected:
    std::vector<Delivery> request(ImageTargetSize target, ImageContentMode mode) {
        std::vector<Delivery> deliveries;
        ImageManager manager(library());
        manager.requestImage(
            asset, target, mode,
            [&](const std::optional<RgbaImage>& image, const ImageResultInfo& info) {
                EXPECT_TRUE(isMainThread());
                deliveries.push_back({image, info});
            });
        dispatch.runUntilIdle();
        return deliveries;
    }

    // A picture added with access, then the library as the next start sees it under
    // `permissionsAfter`.
    void addPicture(const std::string& permissionsAfter = "photos=authorized") {
        // 1200 x 900 photosites: developed at half size, 600 x 450, more than the thumbnail.
        const auto file = writeSource("a.DNG", makeDng(1200, 900, "2024:03:14 21:30:05", false));
        ASSERT_TRUE(create(file).success);
        asset = *library().fetchAssets().firstObject();
        reopen(permissionsAfter);
    }

    Asset asset;
};

TEST_F(ImageManagerTest, ASmallTargetIsServedFromTheThumbnailAlone) {
    addPicture();
    const auto deliveries = request({100, 100}, ImageContentMode::aspectFill);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_FALSE(deliveries[0].info.degraded);
    ASSERT_TRUE(deliveries[0].image);
    const RgbaImage& image = *deliveries[0].image;
    EXPECT_EQ(std::min(image.width(), image.height()), 100u); // covers the target
    EXPECT_EQ(image.width(), 133u);
    EXPECT_EQ(image.bitsPerChannel(), 8);

    const auto fit = request({100, 100}, ImageContentMode::aspectFit);
    ASSERT_EQ(fit.size(), 1u);
    EXPECT_EQ(fit[0].image->width(), 100u); // within the target
    EXPECT_EQ(fit[0].image->height(), 75u);
}

TEST_F(ImageManagerTest, AFullSizeRequestGetsTheThumbnailFirstThenTheDevelopedPicture) {
    addPicture();
    const auto deliveries = request({double(asset.pixelWidth), double(asset.pixelHeight)},
                                    ImageContentMode::aspectFill);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_TRUE(deliveries[0].info.degraded);
    EXPECT_EQ(deliveries[0].image->width(), 512u);
    EXPECT_FALSE(deliveries[1].info.degraded);
    ASSERT_TRUE(deliveries[1].image);
    EXPECT_EQ(deliveries[1].image->width(), 600u); // a DNG at half size, never enlarged
    EXPECT_EQ(deliveries[1].image->height(), 450u);
}

TEST_F(ImageManagerTest, WithoutAccessOrUnderTheSwitchARequestFails) {
    addPicture("photos=denied");
    auto deliveries = request({100, 100}, ImageContentMode::aspectFill);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_FALSE(deliveries[0].image);
    EXPECT_EQ(deliveries[0].info.error, "Access to the photo library was not granted");
}

TEST_F(ImageManagerTest, TheFaultSwitchFailsARequest) {
    addPicture();
    ScopedPhotoLibraryFaults faults({.failImageRequests = true});
    const auto deliveries = request({100, 100}, ImageContentMode::aspectFill);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_FALSE(deliveries[0].image);
    EXPECT_EQ(deliveries[0].info.error, "The image request failed");
}

TEST_F(ImageManagerTest, APictureFileSwappedForAHugeOneFailsWithTheReason) {
    addPicture();
    std::filesystem::resize_file(asset.file, std::uintmax_t(6) << 30); // sparse
    const auto deliveries = request({double(asset.pixelWidth), double(asset.pixelHeight)},
                                    ImageContentMode::aspectFill);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_TRUE(deliveries[0].image); // the thumbnail, from the index
    EXPECT_FALSE(deliveries[1].image);
    EXPECT_EQ(deliveries[1].info.error,
              "Cannot read " + quotedPath(asset.file) + ": it is larger than 512 MB");
}

TEST(ImageScale, FitKeepsTheWholePictureAndFillCoversTheTarget) {
    EXPECT_DOUBLE_EQ(scaleFor(400, 300, {100, 100}, ImageContentMode::aspectFit), 0.25);
    EXPECT_DOUBLE_EQ(scaleFor(400, 300, {100, 100}, ImageContentMode::aspectFill), 1.0 / 3);
    EXPECT_DOUBLE_EQ(scaleFor(400, 300, {-1, -1}, ImageContentMode::aspectFill), 1.0);
    EXPECT_DOUBLE_EQ(scaleFor(400, 300, {NAN, 10}, ImageContentMode::aspectFit), 1.0);
}

} // namespace
} // namespace qv::platform::test
