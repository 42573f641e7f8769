#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Device.hpp"
#include "platform/compute/Faults.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <vector>

namespace qv::platform::compute {
namespace {

std::atomic<std::size_t> widestColumn{0};
std::atomic<std::size_t> deepestRow{0};

bool checkOneR32(const PassArguments& arguments, std::string& why) {
    if (!arguments.hasTexture(0) || arguments.texture(0).pixelFormat() != TextureFormat::r32Uint) {
        why = "texture 0 must be R32Uint";
        return false;
    }
    return true;
}

// Writes (y << 16 | x) + buffer 0 into every texel of texture 0.
void stamp(const PassArguments& arguments, const Tile& tile) {
    const std::uint32_t offset = arguments.value<std::uint32_t>(0).value_or(0);
    const Texture& texture = arguments.texture(0);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        auto* row = texture.row<std::uint32_t>(y);
        for (std::size_t x = tile.x0; x < tile.x1; ++x) {
            row[x] = static_cast<std::uint32_t>(y << 16 | x) + offset;
        }
    }
    std::size_t seen = widestColumn.load();
    while (tile.x1 > seen && !widestColumn.compare_exchange_weak(seen, tile.x1)) {
    }
    seen = deepestRow.load();
    while (tile.y1 > seen && !deepestRow.compare_exchange_weak(seen, tile.y1)) {
    }
}

void increment(const PassArguments& arguments, const Tile& tile) {
    const Texture& texture = arguments.texture(0);
    for (std::size_t y = tile.y0; y < tile.y1; ++y) {
        auto* row = texture.row<std::uint32_t>(y);
        for (std::size_t x = tile.x0; x < tile.x1; ++x) {
            row[x] += 1;
        }
    }
}

class ComputePass : public ::testing::Test {
protected:
    void SetUp() override {
        registerKernel("testStamp", Kernel{checkOneR32, stamp});
        registerKernel("testIncrement", Kernel{checkOneR32, increment});
        device = Device::systemDefault();
        ASSERT_TRUE(device);
        queue = device->makeCommandQueue();
        ASSERT_TRUE(queue);
    }

    std::shared_ptr<const ComputePipelineState> pipeline(const std::string& name) {
        auto library = device->makeDefaultLibrary();
        auto function = library->makeFunction(name);
        std::string error;
        return function ? device->makeComputePipelineState(*function, error) : nullptr;
    }

    Texture texture(TextureFormat format, std::size_t width, std::size_t height) {
        return *device->makeTexture(TextureDescriptor::texture2D(format, width, height, false));
    }

    // One pass over `target` (and `other` at index 1 when given); the status.
    CommandBufferStatus runPass(const std::string& kernel, const Texture& target, Size groups,
                                Size threads, const Texture* other = nullptr,
                                std::optional<Buffer> buffer = std::nullopt) {
        auto commandBuffer = queue->makeCommandBuffer();
        auto* encoder = commandBuffer->makeComputeCommandEncoder();
        encoder->setLabel("Test pass");
        encoder->setComputePipelineState(pipeline(kernel));
        encoder->setTexture(target, 0);
        if (other) {
            encoder->setTexture(*other, 1);
        }
        if (buffer) {
            encoder->setBuffer(*buffer, 0, 0);
        }
        encoder->dispatchThreadgroups(groups, threads);
        encoder->endEncoding();
        commandBuffer->commit();
        commandBuffer->waitUntilCompleted();
        lastError = commandBuffer->error();
        return commandBuffer->status();
    }

    std::shared_ptr<Device> device;
    std::shared_ptr<CommandQueue> queue;
    std::string lastError;
};

TEST_F(ComputePass, PipelinesReportTheirThreadLimits) {
    auto stampPipeline = pipeline("testStamp");
    ASSERT_TRUE(stampPipeline);
    EXPECT_EQ(stampPipeline->threadExecutionWidth(), 32u);
    EXPECT_EQ(stampPipeline->maxTotalThreadsPerThreadgroup(), 1024u);
    EXPECT_EQ(stampPipeline->name(), "testStamp");
    EXPECT_FALSE(device->makeDefaultLibrary()->makeFunction("noSuchKernel"));
}

TEST_F(ComputePass, GridBeyondTheTextureTouchesOnlyItsTexels) {
    widestColumn = 0;
    deepestRow = 0;
    Texture target = texture(TextureFormat::r32Uint, 37, 45);
    // 2 x 2 groups of 32 x 32 threads: 64 x 64 threads over a 37 x 45 texture.
    EXPECT_EQ(runPass("testStamp", target, {2, 2, 1}, {32, 32, 1}), CommandBufferStatus::completed);
    EXPECT_EQ(widestColumn.load(), 37u);
    EXPECT_EQ(deepestRow.load(), 45u);
    for (std::size_t y = 0; y < 45; ++y) {
        for (std::size_t x = 0; x < 37; ++x) {
            ASSERT_EQ(target.row<std::uint32_t>(y)[x], (y << 16 | x)) << x << "," << y;
        }
    }
}

TEST_F(ComputePass, GridSmallerThanTheTextureLeavesTheRestAlone) {
    Texture target = texture(TextureFormat::r32Uint, 40, 40);
    ASSERT_EQ(runPass("testStamp", target, {1, 1, 1}, {8, 4, 1}), CommandBufferStatus::completed);
    EXPECT_EQ(target.row<std::uint32_t>(3)[7], (3u << 16 | 7u));
    EXPECT_EQ(target.row<std::uint32_t>(4)[7], 0u);
    EXPECT_EQ(target.row<std::uint32_t>(3)[8], 0u);
}

TEST_F(ComputePass, ManyTilesOnThePoolCoverEveryRowOnce) {
    Texture target = texture(TextureFormat::r32Uint, 700, 1200); // hundreds of tiles
    ASSERT_EQ(runPass("testIncrement", target, {22, 38, 1}, {32, 32, 1}),
              CommandBufferStatus::completed);
    for (std::size_t y = 0; y < 1200; ++y) {
        const auto* row = target.row<std::uint32_t>(y);
        for (std::size_t x = 0; x < 700; ++x) {
            ASSERT_EQ(row[x], 1u) << x << "," << y;
        }
    }
}

TEST_F(ComputePass, ParameterBuffersReachTheKernel) {
    Texture target = texture(TextureFormat::r32Uint, 4, 4);
    const std::uint32_t offset = 1000;
    ASSERT_EQ(runPass("testStamp", target, {1, 1, 1}, {32, 32, 1}, nullptr,
                      device->makeBuffer(&offset, sizeof offset)),
              CommandBufferStatus::completed);
    EXPECT_EQ(target.row<std::uint32_t>(1)[2], (1u << 16 | 2u) + 1000u);

    std::vector<std::byte> tooLong(Buffer::maxLength + 1);
    EXPECT_FALSE(device->makeBuffer(tooLong.data(), tooLong.size()));
}

TEST_F(ComputePass, RefusedPassesRunNothingAndSayWhy) {
    Texture target = texture(TextureFormat::r32Uint, 8, 8);
    Texture taller = texture(TextureFormat::r32Uint, 8, 9);
    EXPECT_EQ(runPass("testStamp", target, {1, 1, 1}, {8, 8, 1}, &taller),
              CommandBufferStatus::error);
    EXPECT_NE(lastError.find("differ in size"), std::string::npos) << lastError;
    EXPECT_EQ(target.row<std::uint32_t>(1)[1], 0u);

    Texture wider = texture(TextureFormat::r32Uint, 9, 8);
    EXPECT_EQ(runPass("testStamp", target, {1, 1, 1}, {8, 8, 1}, &wider),
              CommandBufferStatus::error);

    Texture wrongFormat = texture(TextureFormat::rgba8Uint, 8, 8);
    EXPECT_EQ(runPass("testStamp", wrongFormat, {1, 1, 1}, {8, 8, 1}), CommandBufferStatus::error);
    EXPECT_NE(lastError.find("R32Uint"), std::string::npos) << lastError;

    EXPECT_EQ(runPass("testStamp", target, {1, 1, 1}, {64, 32, 1}), CommandBufferStatus::error);
    EXPECT_EQ(target.row<std::uint32_t>(1)[1], 0u);
}

TEST_F(ComputePass, AnOpenEncoderOrAFinishedBufferRefusesMore) {
    auto commandBuffer = queue->makeCommandBuffer();
    ASSERT_TRUE(commandBuffer->makeComputeCommandEncoder());
    EXPECT_FALSE(commandBuffer->makeComputeCommandEncoder());
    commandBuffer->commit();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::error);

    auto empty = queue->makeCommandBuffer();
    empty->commit();
    EXPECT_EQ(empty->status(), CommandBufferStatus::completed);
    EXPECT_FALSE(empty->makeComputeCommandEncoder());
}

TEST_F(ComputePass, ObserverSeesEachPassLabelKernelAndGeometry) {
    std::vector<PassRecord> seen;
    std::vector<std::string> labels;
    setPassObserver([&](const PassRecord& record) {
        seen.push_back(record);
        labels.emplace_back(record.label);
    });
    Texture target = texture(TextureFormat::r32Uint, 100, 50);
    runPass("testIncrement", target, {4, 2, 1}, {32, 32, 1});
    setPassObserver({});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(labels[0], "Test pass");
    EXPECT_EQ(seen[0].threadgroups, (Size{4, 2, 1}));
    EXPECT_EQ(seen[0].width, 100u);
    EXPECT_EQ(seen[0].height, 50u);
}

TEST_F(ComputePass, FaultSwitchesFailEachObjectKind) {
    {
        Faults faults;
        faults.noDevice = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(Device::systemDefault());
    }
    {
        Faults faults;
        faults.noDefaultLibrary = true;
        faults.commandQueueFailure = true;
        ScopedFaults scoped(faults);
        EXPECT_FALSE(device->makeDefaultLibrary());
        EXPECT_FALSE(device->makeCommandQueue());
    }
    {
        Faults faults;
        faults.missingKernels = {"testStamp"};
        faults.failingPipelines = {"testIncrement"};
        ScopedFaults scoped(faults);
        auto library = device->makeDefaultLibrary();
        EXPECT_FALSE(library->makeFunction("testStamp"));
        auto function = library->makeFunction("testIncrement");
        ASSERT_TRUE(function);
        std::string error;
        EXPECT_FALSE(device->makeComputePipelineState(*function, error));
        EXPECT_FALSE(error.empty());
    }
    {
        Faults faults;
        faults.commandBuffersBeforeFailure = 1;
        faults.bufferFailure = true;
        ScopedFaults scoped(faults);
        auto first = queue->makeCommandBuffer();
        EXPECT_TRUE(first);
        EXPECT_FALSE(queue->makeCommandBuffer());
        EXPECT_FALSE(queue->makeCommandBuffer());
        const std::uint32_t value = 1;
        EXPECT_FALSE(device->makeBuffer(&value, sizeof value));
    }
    {
        Faults faults;
        faults.encoderFailure = true;
        ScopedFaults scoped(faults);
        auto commandBuffer = queue->makeCommandBuffer();
        ASSERT_TRUE(commandBuffer);
        EXPECT_FALSE(commandBuffer->makeComputeCommandEncoder());
    }
    EXPECT_TRUE(queue->makeCommandBuffer()); // switches restored
}

} // namespace
} // namespace qv::platform::compute
