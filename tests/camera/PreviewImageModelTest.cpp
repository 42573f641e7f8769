#include "camera/PreviewImageModel.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/state/Transaction.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using ImagePointer = PreviewImageModel::ImagePointer;

platform::imaging::FileData jpegOf(std::size_t width, std::size_t height) {
    auto data = platform::imaging::encodeJpeg(platform::RgbaImage(width, height, 8), 90, {});
    EXPECT_TRUE(data);
    return *data;
}

class PreviewImageModelTest : public ::testing::Test {
protected:
    PreviewImageModelTest() {
        changes = model->previewImage.subscribe([this](const ImagePointer& image) {
            animated.push_back(platform::Transaction::current().animation.has_value());
            shown.push_back(image);
        });
    }

    platform::VirtualDispatch dispatch;
    std::shared_ptr<PreviewImageModel> model = PreviewImageModel::make();
    platform::Subscription changes;
    std::vector<bool> animated;
    std::vector<ImagePointer> shown;
};

TEST_F(PreviewImageModelTest, TheFirstPictureFadesInAndLaterOnesSwap) {
    const auto first = std::make_shared<const platform::RgbaImage>(4, 3, 8);
    const auto second = std::make_shared<const platform::RgbaImage>(4, 3, 8);

    model->setPreviewImage(first);
    EXPECT_EQ(model->previewImage.get(), nullptr); // applied on the main queue
    model->setPreviewImage(second);
    dispatch.runUntilIdle();
    model->setPreviewImage(nullptr);
    dispatch.runUntilIdle();
    model->setPreviewImage(nullptr);
    dispatch.runUntilIdle();

    EXPECT_EQ(shown, (std::vector<ImagePointer>{first, second, nullptr, nullptr}));
    EXPECT_EQ(animated, (std::vector<bool>{true, false, false, true}));
}

TEST_F(PreviewImageModelTest, EncodedDataIsDecodedForDisplay) {
    model->showEncodedPreview(jpegOf(40, 30));
    dispatch.runUntilIdle();

    ASSERT_NE(model->previewImage.get(), nullptr);
    EXPECT_EQ(model->previewImage.get()->width(), 40u);
    EXPECT_EQ(model->previewImage.get()->bitsPerChannel(), 8);
}

TEST_F(PreviewImageModelTest, DataThatIsNoPictureClearsThePreview) {
    model->setPreviewImage(std::make_shared<const platform::RgbaImage>(4, 3, 8));
    dispatch.runUntilIdle();
    platform::ConsoleCapture console;

    model->showEncodedPreview({1, 2, 3, 4});
    dispatch.runUntilIdle();

    EXPECT_EQ(model->previewImage.get(), nullptr);
    EXPECT_NE(console.text().find("Preview image not shown:"), std::string::npos);
}

TEST_F(PreviewImageModelTest, ADecodeThatEndsAfterALaterClearIsDropped) {
    model->showEncodedPreview(jpegOf(40, 30)); // decoded on the worker pool
    model->setPreviewImage(nullptr);           // the run ends meanwhile
    dispatch.runUntilIdle();

    EXPECT_EQ(model->previewImage.get(), nullptr);
    EXPECT_EQ(shown.size(), 1u); // only the clear was applied
}

TEST_F(PreviewImageModelTest, AnOlderDecodeNeverReplacesANewerPreview) {
    const auto newer = std::make_shared<const platform::RgbaImage>(2, 2, 8);
    model->showEncodedPreview(jpegOf(40, 30));
    model->setPreviewImage(newer);
    dispatch.runUntilIdle();

    EXPECT_EQ(model->previewImage.get(), newer);
}

} // namespace
} // namespace qv
