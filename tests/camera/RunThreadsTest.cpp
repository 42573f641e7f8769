// Runs on real queues (also under ThreadSanitizer): the main queue drained by this thread,
// "PhotoSession", "PhotoSaverSession", "LibraryQueue", the photo output's queue and the
// camera's on threads of their own. A run aborted mid-way, one sent to the background and
// one that ends by itself each leave one file, and no published state is written off the
// main queue.

#include "RunTestSupport.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/state/StateChecks.hpp"

#include <atomic>
#include <chrono>
#include <thread>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;

// Drains the main queue until `done` holds or `limit` real seconds have passed.
bool drainUntil(const std::function<bool()>& done, double limit) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    while (std::chrono::steady_clock::now() < end) {
        platform::MainLoop::runDueWork();
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::size_t filesIn(const fs::path& folder) {
    std::size_t count = 0;
    if (fs::exists(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            count += entry.path().filename().string().starts_with("QV_") ? 1 : 0;
        }
    }
    return count;
}

TEST(RunOnRealThreads, AbortBackgroundAndEndEachLeaveOneFile) {
    char pattern[] = "/tmp/qv-run-threads-XXXXXX";
    const fs::path home = ::mkdtemp(pattern);
    EnvironmentOverride utc{"TZ", "UTC"};
    std::atomic<int> offMainWrites{0};
    platform::setOffMainWriteHandler([&] { ++offMainWrites; });
    {
        platform::StandardDefaultsOverride settings(
            std::make_unique<platform::UserDefaults>(home / "settings.json"));
        platform::Device phone;
        platform::Permissions permissions(home / "permissions.json",
                                          {"camera=authorized,photos=authorized"});
        platform::PhotoLibrary library(home / "Photos", permissions);
        platform::SoundRecorder sounds;
        auto installation = platform::CaptureDeviceDiscovery::install({smallPhotoCamera()});
        auto camera = CameraManager::make({.defaults = settings.store(),
                                           .device = phone,
                                           .permissions = permissions,
                                           .photoLibrary = library,
                                           .folders = platform::AppFolders::under(home),
                                           .previewImageModel = PreviewImageModel::make()});
        ASSERT_TRUE(drainUntil([&] { return !camera->ignoresShutterPress(); }, 5));
        camera->exposureSequence->setSelectedDurationIndex(1); // 1 s
        camera->settings.shutterReleaseDelay = Delay::off;
        camera->settings.showImagePreviewWhileShooting = true;
        const auto shooting = [&] { return camera->cameraState.get() == CameraState::shooting; };
        const auto saved = [&](std::size_t files) {
            return [&, files] {
                return filesIn(home / "Documents") == files &&
                       library.fetchAssets().count() == files &&
                       camera->cameraState.get() == CameraState::ready;
            };
        };
        const auto press = [&] { camera->shutterReleasePressed(); };

        press();
        ASSERT_TRUE(drainUntil(shooting, 5));
        drainUntil([] { return false; }, 0.3);
        press(); // abort
        ASSERT_TRUE(drainUntil(saved(1), 10));

        drainUntil([] { return false; }, 0.1); // the finish's last steps
        press();
        ASSERT_TRUE(drainUntil(shooting, 5));
        drainUntil([] { return false; }, 0.3);
        camera->finishSequence(); // the app goes to the background
        ASSERT_TRUE(drainUntil(saved(2), 10));

        drainUntil([] { return false; }, 0.1);
        press();
        ASSERT_TRUE(drainUntil(shooting, 5));
        ASSERT_TRUE(drainUntil(saved(3), 10)); // ends by itself after 1 s
        drainUntil([] { return false; }, 0.2);
        EXPECT_EQ(sounds.sounds().size(), 3u);
        platform::releaseWhileRunningMainQueue(
            camera, "the camera controller"); // before the library and settings go
    }
    platform::setOffMainWriteHandler({});
    EXPECT_EQ(offMainWrites.load(), 0);
    fs::remove_all(home);
}

} // namespace
} // namespace qv::testing
