// Access to the camera, the photo library and the location through the controller: the
// access screen's requests, the checks at start-up, the location's delegate, and the
// thumbnail of the library's newest picture.

#include "CameraTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/system/LinkOpener.hpp"

#include <fstream>

namespace qv::testing {
namespace {

using platform::PermissionService;
using platform::PermissionStatus;

class CameraAccessTest : public CameraTest {
protected:
    CameraAccessTest() {
        platform::setSettingsPageHandler([this] { ++settingsPagesOpened; });
        install({wideCamera()});
    }
    ~CameraAccessTest() override { platform::setSettingsPageHandler({}); }

    // The user answers every prompt with `allow`; the services asked are recorded.
    void answerPrompts(bool allow) {
        platformServices->permissions.setPromptPresenter(
            [this, allow](const platform::PermissionPrompt& prompt,
                          platform::Permissions::PromptAnswer answer) {
                prompts.push_back(prompt.service);
                answer(allow);
            });
    }

    // A JPEG of `width` x `height` added to the library.
    void addPicture(int width, int height) {
        const auto data = platform::imaging::encodeJpeg(
            platform::RgbaImage(std::size_t(width), std::size_t(height), 8), 90, {});
        ASSERT_TRUE(data);
        const auto file = home / ("picture" + std::to_string(++pictures) + ".jpg");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(data->data()), std::streamsize(data->size()));
        platformServices->photoLibrary.createAsset(file, {});
        pump();
    }

    int settingsPagesOpened = 0;
    int pictures = 0;
    std::vector<PermissionService> prompts;
};

TEST_F(CameraAccessTest, AFirstCameraGrantConfiguresTheSessionSetsTheFlagAndAsksForPhotos) {
    usePermissions("");
    answerPrompts(true);
    start();
    EXPECT_FALSE(camera->isCameraAuthorized.get());
    EXPECT_EQ(camera->cameraState.get(), CameraState::starting);
    std::size_t camerasWhenGranted = 0;
    auto granted = camera->isCameraAuthorized.subscribe(
        [&](bool) { camerasWhenGranted = camera->availableCameras().size(); });

    camera->requestCameraAccess();
    pump();

    EXPECT_TRUE(camera->isCameraAuthorized.get());
    EXPECT_EQ(camerasWhenGranted, 1u); // the session was configured before the flag
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(prompts, (std::vector{PermissionService::camera, PermissionService::photos}));
    EXPECT_TRUE(camera->isPhotoLibraryAuthorized.get());
    EXPECT_TRUE(camera->photoLibraryManager.allPhotos.get()); // fetched by the check
    EXPECT_EQ(settingsPagesOpened, 0);
}

TEST_F(CameraAccessTest, ARefusedCameraIsNotAllowedAndTheNextTapOpensTheSettings) {
    usePermissions("");
    answerPrompts(false);
    start();

    camera->requestCameraAccess();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::cameraNotAllowed);
    EXPECT_TRUE(camera->availableCameras().empty());
    EXPECT_EQ(settingsPagesOpened, 0);

    camera->requestCameraAccess();
    pump();
    EXPECT_EQ(settingsPagesOpened, 1);
    EXPECT_EQ(prompts.size(), 1u);
}

TEST_F(CameraAccessTest, RefusedPhotosAreNotAllowedAndTheNextTapOpensTheSettings) {
    usePermissions("camera=authorized");
    answerPrompts(false);
    start();

    camera->requestPhotoLibraryAccess();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::cameraNotAllowed);
    EXPECT_FALSE(camera->isPhotoLibraryAuthorized.get());
    camera->requestPhotoLibraryAccess();
    pump();
    EXPECT_EQ(settingsPagesOpened, 1);
}

TEST_F(CameraAccessTest, LimitedPhotosCountAsGrantedAndShowTheNewestPicture) {
    usePermissions("camera=authorized,photos=limited");
    addPicture(64, 48);
    start();

    EXPECT_TRUE(camera->isPhotoLibraryAuthorized.get());
    ASSERT_NE(camera->libraryThumbnail.get(), nullptr);
    EXPECT_EQ(camera->libraryThumbnail.get()->width(), 64u); // never enlarged
    ASSERT_NE(camera->resultUIImage.get(), nullptr);

    // One registration however often the library was checked: one reload per change (a
    // thumbnail within the stored one comes in one delivery).
    int thumbnails = 0;
    auto counted = camera->libraryThumbnail.subscribe([&](const auto&) { ++thumbnails; });
    camera->requestPhotoLibraryAccess();
    pump();
    addPicture(640, 480);
    EXPECT_EQ(thumbnails, 1);
    EXPECT_EQ(camera->libraryThumbnail.get()->height(), 100u); // aspect fill
    EXPECT_EQ(camera->photoLibraryManager.allPhotos.get()->count(), 2u);
}

// A library whose index is to be made anew from its files (set aside, or copied from a
// backup): start-up leaves the opening to the library's queue, so the screen can be drawn
// at once; the pictures and the thumbnail come when the library has them.
TEST_F(CameraAccessTest, StartUpLeavesTheLibrarysOpeningToItsQueueAndShowsItsPicturesWhenReady) {
    const auto data = platform::imaging::encodeJpeg(platform::RgbaImage(1200, 900, 8), 90, {});
    ASSERT_TRUE(data);
    const auto month = home / "Photos" / "2024" / "01";
    std::filesystem::create_directories(month);
    for (const char* name :
         {"3F2504E0-4F89-41D3-9A0C-0305E82C3301.JPG", "6F9619FF-8B86-D011-B42D-00C04FC964FF.JPG"}) {
        std::ofstream(month / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data->data()), std::streamsize(data->size()));
    }
    usePermissions(ServicesUnderTest::grantedScript); // the library made now, not yet opened
    platform::ConsoleCapture console;
    camera = CameraManager::make(services());
    EXPECT_EQ(console.text().find("took in"), std::string::npos) << console.text();
    ASSERT_TRUE(camera->photoLibraryManager.allPhotos.get());
    EXPECT_EQ(camera->photoLibraryManager.allPhotos.get()->count(), 0u);
    EXPECT_EQ(camera->libraryThumbnail.get(), nullptr);

    pump();
    EXPECT_NE(console.text().find("took in 2 files"), std::string::npos) << console.text();
    EXPECT_EQ(camera->photoLibraryManager.allPhotos.get()->count(), 2u);
    ASSERT_NE(camera->libraryThumbnail.get(), nullptr); // made from the file when asked for
    EXPECT_EQ(camera->libraryThumbnail.get()->height(), 100u);
    ASSERT_NE(camera->resultUIImage.get(), nullptr);
    EXPECT_EQ(camera->resultUIImage.get()->width(), 1200u);
}

// The newest picture in a month folder the app cannot read at its start (its row kept, no
// thumbnail made yet): nothing to show then, and once the folder can be read again, its
// thumbnail and its picture come at the next fetch or change of the library, or without
// either (the app fetches at its start only) at the library's next look, within 5 s.
TEST_F(CameraAccessTest, TheNewestPictureOfAFolderThatComesBackShowsAtTheNextFetchChangeOrLook) {
    const auto data = platform::imaging::encodeJpeg(platform::RgbaImage(1200, 900, 8), 90, {});
    ASSERT_TRUE(data);
    const auto month = home / "Photos" / "2024" / "01";
    std::filesystem::create_directories(month);
    const char* const how[] = {"fetch", "change", "look"};
    const char* const names[] = {"3F2504E0-4F89-41D3-9A0C-0305E82C3301.JPG",
                                 "6F9619FF-8B86-D011-B42D-00C04FC964FF.JPG",
                                 "9A1B2C3D-4E5F-4A6B-8C7D-0E1F2A3B4C5D.JPG"};
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(how[way]);
        const auto file = month / names[way];
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(data->data()), std::streamsize(data->size()));
        std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() +
                                                   std::chrono::hours(way + 1));
        usePermissions(ServicesUnderTest::grantedScript);
        pump(); // taken in from its tags, dated by the file's time: the newest
        std::filesystem::permissions(month, std::filesystem::perms::none);
        {
            testing::ScopedPermissionBits asTheOwner;
            usePermissions(ServicesUnderTest::grantedScript);
            start();
            EXPECT_EQ(camera->libraryThumbnail.get(), nullptr);
            EXPECT_EQ(camera->resultUIImage.get(), nullptr);
        }
        std::filesystem::permissions(month, std::filesystem::perms::owner_all);
        if (way == 0) {
            camera->photoLibraryManager.fetchAllPhotos();
            pump();
        } else if (way == 1) {
            addPicture(64, 48); // older than the newest
        } else {
            dispatch.runFor(std::chrono::seconds(5));
        }
        ASSERT_NE(camera->libraryThumbnail.get(), nullptr);
        EXPECT_EQ(camera->libraryThumbnail.get()->height(), 100u);
        ASSERT_NE(camera->resultUIImage.get(), nullptr);
        EXPECT_EQ(camera->resultUIImage.get()->width(), 1200u);
        camera.reset();
    }
}

TEST_F(CameraAccessTest, EachDeliveryReplacesThePictureAndNothingReloadsWhileShooting) {
    start();
    std::vector<std::size_t> resultWidths;
    auto results = camera->resultUIImage.subscribe([&](const CameraManager::ImagePointer& image) {
        resultWidths.push_back(image ? image->width() : 0);
    });

    addPicture(1200, 900);
    // The stored thumbnail first (at most 512 a side), then the full picture.
    EXPECT_EQ(resultWidths, (std::vector<std::size_t>{512, 1200}));

    const auto thumbnail = camera->libraryThumbnail.get();
    camera->cameraState = CameraState::shooting;
    addPicture(300, 200);
    EXPECT_EQ(resultWidths.size(), 2u);
    EXPECT_EQ(camera->libraryThumbnail.get(), thumbnail);
    EXPECT_EQ(camera->photoLibraryManager.allPhotos.get()->count(), 2u);
}

TEST_F(CameraAccessTest, ALocationGrantSwitchesTheSettingOnOnlyAfterTheSwitchAsked) {
    start();
    auto& permissions = platformServices->permissions;
    auto& location = camera->locationManager;
    EXPECT_FALSE(camera->isGPSAuthorized.get());

    permissions.changeInSettings(PermissionService::location, PermissionStatus::whenInUse);
    pump();
    EXPECT_TRUE(camera->isGPSAuthorized.get());
    EXPECT_FALSE(camera->settings.shouldSaveLocationData.get());
    EXPECT_EQ(location.desiredAccuracy(), platform::kLocationAccuracyBest);

    permissions.changeInSettings(PermissionService::location, PermissionStatus::denied);
    pump();
    EXPECT_FALSE(camera->isGPSAuthorized.get());

    answerPrompts(true);
    permissions.changeInSettings(PermissionService::location, PermissionStatus::notDetermined);
    pump();
    camera->toggleSaveLocationData(); // asks, since there is no access
    pump();
    EXPECT_EQ(prompts, (std::vector{PermissionService::location}));
    EXPECT_TRUE(camera->isGPSAuthorized.get());
    EXPECT_TRUE(camera->settings.shouldSaveLocationData.get());

    // The mark was used once: a later grant leaves a switched-off setting alone.
    camera->toggleSaveLocationData();
    permissions.changeInSettings(PermissionService::location, PermissionStatus::always);
    pump();
    EXPECT_FALSE(camera->settings.shouldSaveLocationData.get());
}

TEST_F(CameraAccessTest, WithdrawnLocationAccessKeepsTheSettingAndLeadsToTheSettingsPage) {
    usePermissions("camera=authorized,photos=authorized,location=whenInUse");
    start();
    camera->toggleSaveLocationData();
    pump();
    ASSERT_TRUE(camera->settings.shouldSaveLocationData.get());

    platformServices->permissions.changeInSettings(PermissionService::location,
                                                   PermissionStatus::denied);
    pump();
    camera->toggleSaveLocationData();
    pump();

    EXPECT_TRUE(camera->settings.shouldSaveLocationData.get());
    EXPECT_FALSE(camera->isGPSAuthorized.get());
    EXPECT_EQ(settingsPagesOpened, 1);
    EXPECT_FALSE(camera->locationManager.location()); // no run can write a position
}

} // namespace
} // namespace qv::testing
