#include "model/ExposureSettings.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <future>
#include <gtest/gtest.h>

using namespace qv;

// With a real bias queue, changes asked for from this thread reach the device on the
// queue's thread in the order asked, and the last one stays.
TEST(ExposureSettingsThreads, LatestPreviewOffsetWinsOnARealQueue) {
    platform::InMemoryCaptureDevice::State state;
    state.activeFormat.minExposureDuration = platform::MediaTime::fromSeconds(1.0 / 8000);
    state.activeFormat.maxExposureDuration = platform::MediaTime::fromSeconds(1.0);
    state.activeFormat.minISO = 25;
    state.activeFormat.maxISO = 3200;
    state.exposureDuration = platform::MediaTime::fromSeconds(1.0 / 64);
    auto device = std::make_shared<platform::InMemoryCaptureDevice>(state);
    auto queue = std::make_shared<platform::DispatchQueue>("ExposureBias");
    ExposureSettings settings{device, queue};

    // Hold the queue until every change is asked for: the in-memory device's exposure does
    // not follow its bias, so a change applied early would feed back into the next one.
    std::promise<void> release;
    queue->async([gate = release.get_future().share()] { gate.wait(); });
    for (int i = 0; i < 40; ++i) {
        // Alternate between one and three stops brighter than metered.
        const double speed = (i % 2 == 0) ? 1.0 / 32 : 1.0 / 8;
        settings.updatePreviewOffset(true, 100.0f, speed, 8);
    }
    release.set_value();
    queue->sync([] {});
    EXPECT_FLOAT_EQ(device->exposureTargetBias(), 3.0f);
    EXPECT_EQ(device->misuseCount(), 0);
}
