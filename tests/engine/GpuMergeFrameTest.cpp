#include "engine/GpuMergeFrame.hpp"

#include "platform/compute/Faults.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::PixelBuffer;
using namespace platform::compute;
using ::testing::HasSubstr;
using ::testing::Not;

GpuMergeFrame::Setup bayerSetup() {
    GpuMergeFrame::Setup setup;
    setup.kernels = {"frameAccumulator", "resetAccumulator", "frameAverager"};
    setup.pipelines = {"frameAccumulator", "frameAverager", "resetAccumulator"};
    setup.formats = mergeformats::bayer;
    return setup;
}

std::shared_ptr<PixelBuffer> bayer(std::size_t width, std::size_t height, std::uint16_t level) {
    auto buffer = PixelBuffer::make(width, height, platform::pixelformat::bayer14RGGB);
    for (std::size_t y = 0; y < height; ++y) {
        std::fill_n(buffer->row<std::uint16_t>(y), width, level);
    }
    return buffer;
}

TEST(GpuMergeFrame, ThreadgroupsFollowTheExecutionWidth) {
    const ComputePipelineState pipeline(Function{"any", Kernel{}});
    EXPECT_EQ(GpuMergeFrame::threadsPerThreadgroup(pipeline), (Size{32, 32, 1}));
    EXPECT_EQ(GpuMergeFrame::threadgroups(pipeline, 4000, 3000), (Size{125, 94, 1}));
    EXPECT_EQ(GpuMergeFrame::threadgroups(pipeline, 4032, 3024), (Size{126, 95, 1}));
}

TEST(GpuMergeFrame, CreationFailsQuietlyExceptForPipelines) {
    ConsoleCapture console;
    EXPECT_FALSE(GpuMergeFrame::make(nullptr, bayerSetup()));
    {
        Faults faults;
        faults.noDevice = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup()));
    }
    {
        Faults faults;
        faults.missingKernels = {"frameAverager"};
        ScopedFaults scoped(faults);
        EXPECT_FALSE(GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup()));
    }
    {
        Faults faults;
        faults.noDefaultLibrary = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup()));
    }
    {
        Faults faults;
        faults.textureFailure = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup()));
    }
    EXPECT_EQ(console.text(), "");
    {
        Faults faults;
        faults.failingPipelines = {"frameAverager"};
        ScopedFaults scoped(faults);
        EXPECT_FALSE(GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup()));
    }
    EXPECT_EQ(console.text(), "Compute pipeLine state creation failure\n");
}

TEST(GpuMergeFrame, PrintsTheBufferAfterTheLookupsWhenAsked) {
    ConsoleCapture console;
    auto setup = bayerSetup();
    setup.printBufferAfterLookups = true;
    auto buffer = bayer(4, 2, 0);
    ASSERT_TRUE(GpuMergeFrame::make(buffer, setup));
    EXPECT_EQ(console.text(), buffer->description() + "\n");
}

TEST(GpuMergeFrame, AdmissionComparesWidthAndHeightAndClaimsTheFlag) {
    auto frame = GpuMergeFrame::make(bayer(6, 4, 0), bayerSetup());
    ASSERT_TRUE(frame);
    ConsoleCapture console;
    EXPECT_FALSE(frame->admit(bayer(7, 4, 0)));
    EXPECT_FALSE(frame->admit(bayer(4, 6, 0))); // same pixel count, transposed
    EXPECT_FALSE(frame->admit(nullptr));
    EXPECT_EQ(console.text(), "Metal Problem\nMetal Problem\nMetal Problem\n");
    {
        auto admitted = frame->admit(bayer(6, 4, 0));
        ASSERT_TRUE(admitted);
        EXPECT_TRUE(frame->isBusy());
        EXPECT_FALSE(frame->admit(bayer(6, 4, 0)));
        EXPECT_FALSE(frame->admitResult(bayer(6, 4, 0)));
    }
    EXPECT_FALSE(frame->isBusy()); // released with the claim
    EXPECT_TRUE(frame->admit(bayer(6, 4, 0)));
}

TEST(GpuMergeFrame, PhotoTextureFailuresPrintFlushAndRefuse) {
    auto frame = GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup());
    ASSERT_TRUE(frame);
    Faults faults;
    faults.cacheTextureFailure = true;
    ScopedFaults scoped(faults);
    ConsoleCapture console;
    EXPECT_FALSE(frame->admit(bayer(4, 4, 0)));
    EXPECT_EQ(console.text(),
              "FrameMixer make buffer failed to create preview texture\nMetal Problem\n");
    EXPECT_EQ(frame->textureCache()->flushCount(), 1);
    EXPECT_FALSE(frame->isBusy());
    EXPECT_FALSE(frame->admitResult(bayer(4, 4, 0)));
}

TEST(GpuMergeFrame, WithoutATextureCacheEveryPhotoTextureFails) {
    Faults faults;
    faults.textureCacheFailure = true;
    ScopedFaults scoped(faults);
    auto frame = GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup());
    ASSERT_TRUE(frame); // creation goes on without a cache
    ConsoleCapture console;
    EXPECT_FALSE(frame->admit(bayer(4, 4, 0)));
    EXPECT_EQ(console.text(), "make buffer failed, texture cache is not exist\nMetal Problem\n");
}

TEST(GpuMergeFrame, APassRunsItsKernelAndAFailedOneReportsAndFlushes) {
    auto frame = GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup());
    ASSERT_TRUE(frame);
    auto photo = bayer(4, 4, 300);
    auto admitted = frame->admit(photo);
    ASSERT_TRUE(admitted);
    EXPECT_TRUE(frame->runPass("Accumulation", 0, {admitted->frame, frame->workTexture(0)}));
    EXPECT_EQ(frame->workTexture(0).row<std::uint32_t>(3)[3], 300u);

    const std::uint32_t count = 2;
    EXPECT_TRUE(frame->runPass("Averager", 1, {admitted->frame, frame->workTexture(0)},
                               {GpuMergeFrame::bytes(count)}));
    EXPECT_EQ(photo->row<std::uint16_t>(0)[0], 150);

    ConsoleCapture console;
    Faults faults;
    faults.commandBuffersBeforeFailure = 0;
    ScopedFaults scoped(faults);
    EXPECT_FALSE(frame->runPass("Accumulation", 0, {admitted->frame, frame->workTexture(0)}));
    EXPECT_EQ(console.text(), "Failed to create Metal command encoder\n");
    EXPECT_EQ(frame->textureCache()->flushCount(), 1);
    EXPECT_EQ(frame->workTexture(0).row<std::uint32_t>(3)[3], 300u);
}

TEST(GpuMergeFrame, EveryMissingObjectOfAPassFailsItTheSameWay) {
    for (bool Faults::*missing :
         {&Faults::commandQueueFailure, &Faults::encoderFailure, &Faults::bufferFailure}) {
        auto frame = GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup());
        ASSERT_TRUE(frame);
        auto photo = bayer(4, 4, 8);
        auto admitted = frame->admit(photo);
        ASSERT_TRUE(admitted);
        ConsoleCapture console;
        Faults faults;
        faults.*missing = true;
        ScopedFaults scoped(faults);
        const std::uint32_t count = 1;
        EXPECT_FALSE(frame->runPass("Averager", 1, {admitted->frame, frame->workTexture(0)},
                                    {GpuMergeFrame::bytes(count)}));
        EXPECT_EQ(console.text(), "Failed to create Metal command encoder\n");
        EXPECT_EQ(frame->textureCache()->flushCount(), 1);
        EXPECT_EQ(photo->row<std::uint16_t>(0)[0], 8); // nothing ran
    }
}

TEST(GpuMergeFrame, ARefusedPassCountsAsAFailedPass) {
    auto frame = GpuMergeFrame::make(bayer(4, 4, 0), bayerSetup());
    auto admitted = frame->admit(bayer(4, 4, 1));
    ConsoleCapture console;
    // The averager without its count buffer is refused by the kernel.
    EXPECT_FALSE(frame->runPass("Averager", 1, {admitted->frame, frame->workTexture(0)}));
    EXPECT_THAT(console.text(), HasSubstr("Failed to create Metal command encoder\n"));
    admitted->claim.keepBusyForGood();
    admitted.reset();
    EXPECT_TRUE(frame->isBusy());
    EXPECT_THAT(console.text(), Not(HasSubstr("Metal Problem")));
}

} // namespace
} // namespace qv
