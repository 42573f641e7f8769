// The library on real threads (and under ThreadSanitizer): changes on its queue, fetches
// from another thread meanwhile, image results through the main queue, files taken in on
// the worker pool, and an opening held up by another program that neither a fetch nor the
// library's end waits for.

#include "MainQueueDrain.hpp"
#include "PhotoTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/photos/ImageManager.hpp"
#include "platform/photos/detail/Uuid.hpp"

#include <fstream>
#include <future>

namespace qv::platform::test {
namespace {

// A fresh folder of the test with a JPEG of `width` x `height` in it, "a.JPG".
std::filesystem::path folderWithAJpeg(std::size_t width, std::size_t height) {
    const auto root = testing::freshTestFolder();
    const auto data = makeJpeg(width, height, "2024:01:01 10:00:00");
    std::ofstream(root / "a.JPG", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return root;
}

TEST(PhotoLibraryThreads, ChangesFetchesAndImageRequestsMeetSafely) {
    testing::EnvironmentOverride noScript("QV_PERMISSIONS", std::nullopt);
    const auto root = folderWithAJpeg(64, 48);

    Permissions permissions(root / "permissions.json", {"photos=authorized"});
    PhotoLibrary library(root / "Photos", permissions);
    std::vector<std::promise<bool>> created(4);
    std::vector<std::future<bool>> results;
    for (auto& promise : created) {
        results.push_back(promise.get_future());
        library.createAsset(root / "a.JPG",
                            [&promise](bool success, auto) { promise.set_value(success); });
    }
    // Fetches from this thread while the queue adds them; each sees a whole snapshot.
    while (results.back().wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        EXPECT_LE(library.fetchAssets().count(), created.size());
    }
    for (auto& result : results) {
        EXPECT_TRUE(result.get());
    }
    const FetchResult all = library.fetchAssets();
    ASSERT_EQ(all.count(), 4u);

    std::optional<RgbaImage> image; // written by the main-queue block on this thread
    ImageManager manager(library);
    manager.requestImage(*all.firstObject(), {32, 32}, ImageContentMode::aspectFit,
                         [&](const auto& result, const auto&) { image = result; });
    testing::drainMainQueueUntil([&] { return image.has_value(); });
    EXPECT_EQ(image->width(), 32u);
}

// Requests still decoding when their manager ends: its end waits for them, and those not yet
// begun are dropped, so the library can go right after the manager (as the controller's
// manager and the app's library do at quit).
TEST(PhotoLibraryThreads, NoImageRequestReadsTheLibraryAfterItsManagerHasEnded) {
    testing::EnvironmentOverride noScript("QV_PERMISSIONS", std::nullopt);
    const auto root = folderWithAJpeg(640, 480);
    for (int round = 0; round < 10; ++round) {
        Permissions permissions(root / "permissions.json", {"photos=authorized"});
        auto library =
            std::make_unique<PhotoLibrary>(root / ("Photos" + std::to_string(round)), permissions);
        std::promise<bool> created;
        library->createAsset(root / "a.JPG",
                             [&created](bool success, auto) { created.set_value(success); });
        ASSERT_TRUE(created.get_future().get());
        const FetchResult all = library->fetchAssets();
        ASSERT_EQ(all.count(), 1u);
        {
            ImageManager manager(*library);
            for (int i = 0; i < 8; ++i) {
                manager.requestImage(*all.firstObject(), {1024, 1024}, ImageContentMode::aspectFit,
                                     [](const auto&, const auto&) {});
            }
        }
        library.reset(); // a request running on would read freed memory (ASan, ThreadSanitizer)
        while (MainLoop::runDueWork()) {
        } // the results delivered before the end
    }
}

// A new index another program is making holds the opening up (for a minute at most).
// Run on threads of their own, so that a wait shows as a bound passed, not as a hung test.
TEST(PhotoLibraryThreads, NeitherAFetchNorTheLibrarysEndWaitsForAnOpeningHeldUp) {
    testing::EnvironmentOverride noScript("QV_PERMISSIONS", std::nullopt);
    const auto root = testing::freshTestFolder();
    Permissions permissions(root / "permissions.json", {"photos=authorized"});
    HeldIndex held(root / "Photos", "CREATE TABLE assets (id INTEGER PRIMARY KEY);");
    auto library =
        std::make_unique<PhotoLibrary>(root / "Photos", permissions, std::chrono::minutes(1));
    auto fetched = std::async(std::launch::async, [&] { return library->fetchAssets().count(); });
    ASSERT_EQ(fetched.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(fetched.get(), 0u);
    auto ended = std::async(std::launch::async, [&] { library.reset(); });
    EXPECT_EQ(ended.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

// Files without a row taken in on the pool, then their thumbnails made by requests running
// side by side, each kept once.
TEST(PhotoLibraryThreads, FilesTakenInOnThePoolGetTheirThumbnailsWhenAsked) {
    testing::EnvironmentOverride noScript("QV_PERMISSIONS", std::nullopt);
    const auto root = folderWithAJpeg(64, 48);
    const auto month = root / "Photos" / "2024" / "01";
    std::filesystem::create_directories(month);
    for (int i = 0; i < 70; ++i) {
        std::filesystem::create_hard_link(root / "a.JPG", month / (detail::newUuid() + ".JPG"));
    }
    Permissions permissions(root / "permissions.json", {"photos=authorized"});
    PhotoLibrary library(root / "Photos", permissions);
    std::promise<void> opened;
    library.whenOpened([&] { opened.set_value(); });
    ASSERT_EQ(opened.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const FetchResult all = library.fetchAssets();
    ASSERT_EQ(all.count(), 70u);

    int delivered = 0; // written by the main-queue blocks on this thread
    ImageManager manager(library);
    for (int i = 0; i < 6; ++i) {
        manager.requestImage(*all.object(std::size_t(i % 3)), {32, 32}, ImageContentMode::aspectFit,
                             [&](const auto& image, const auto&) { delivered += image ? 1 : 0; });
    }
    testing::drainMainQueueUntil([&] { return delivered == 6; });
    EXPECT_EQ(library.thumbnailJpeg(*all.object(0)).empty(), false);
}

} // namespace
} // namespace qv::platform::test
