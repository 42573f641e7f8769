#include "camera/DebugDelegate.hpp"
#include "camera/PreviewFrameManager.hpp"
#include "platform/capture/CaptureConnection.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <gtest/gtest.h>
#include <sstream>

namespace qv {
namespace {

using platform::PixelBuffer;
namespace pixelformat = platform::pixelformat;

std::shared_ptr<platform::CapturedPhoto> photoOf(std::shared_ptr<PixelBuffer> buffer) {
    platform::CapturedPhoto::Properties properties;
    properties.pixelBuffer = std::move(buffer);
    return platform::CapturedPhoto::make(std::move(properties));
}

// The pixel lines of a dump (" r g b a"), in the order printed.
std::vector<std::string> pixelLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 1 && line[0] == ' ' &&
            std::isdigit(static_cast<unsigned char>(line[1]))) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(PreviewFrameManager, PublishesEachFrameWithAPictureOnTheMainQueue) {
    platform::VirtualDispatch dispatch;
    const auto manager = PreviewFrameManager::make();
    const platform::CaptureConnection connection;
    const auto frame = PixelBuffer::make(8, 6, pixelformat::bgra32);

    manager->didOutputSampleBuffer({}, connection);
    dispatch.runUntilIdle();
    EXPECT_EQ(manager->currentFrame.get(), nullptr);
    manager->didOutputSampleBuffer({frame, {}}, connection);
    EXPECT_EQ(manager->currentFrame.get(), nullptr);
    dispatch.runUntilIdle();

    EXPECT_EQ(manager->currentFrame.get(), frame);
    EXPECT_EQ(manager->videoOutputQueue()->label(), "org.quarn-vesil.QuarnVesil.VideoOutputQ");
}

TEST(DebugDelegate, TheCentreBlockReadsTheTopValueAfterThePass) {
    platform::VirtualDispatch dispatch;
    DebugDelegate delegate;
    const auto buffer = PixelBuffer::make(64, 48, pixelformat::rgba64LE);
    platform::ConsoleCapture console;

    delegate.didFinishProcessingPhoto(photoOf(buffer), std::nullopt);

    const auto lines = pixelLines(console.text());
    ASSERT_EQ(lines.size(), 2 * 121u);
    EXPECT_EQ(lines.front(), " 0 0 0 0");
    EXPECT_EQ(lines.back(), " 65535 65535 65535 65535");
    EXPECT_NE(console.text().find("Texture created"), std::string::npos);
    EXPECT_NE(console.text().find("Metal stuff took "), std::string::npos);
    EXPECT_NE(console.text().find("pixelBuffer plane count: 1"), std::string::npos);
    EXPECT_EQ(buffer->lockCount(), 0);
}

TEST(DebugDelegate, ASmallPhotoIsReadOnlyInsideItsPicture) {
    platform::VirtualDispatch dispatch;
    DebugDelegate delegate;
    platform::ConsoleCapture console;

    delegate.didFinishProcessingPhoto(photoOf(PixelBuffer::make(16, 16, pixelformat::rgba64LE)),
                                      std::nullopt);

    EXPECT_EQ(pixelLines(console.text()).size(), 2 * 64u); // columns and rows 8...15
}

TEST(DebugDelegate, OtherLayoutsAreSkipped) {
    platform::VirtualDispatch dispatch;
    DebugDelegate delegate;
    platform::ConsoleCapture console;

    delegate.didFinishProcessingPhoto(photoOf(PixelBuffer::make(32, 32, pixelformat::bayer14RGGB)),
                                      std::nullopt);
    delegate.didFinishProcessingPhoto(photoOf(nullptr), std::nullopt);

    EXPECT_TRUE(pixelLines(console.text()).empty());
    EXPECT_NE(console.text().find("Debug pixel dump skipped"), std::string::npos);
    EXPECT_EQ(console.text().find("Texture created"), std::string::npos);
}

} // namespace
} // namespace qv
