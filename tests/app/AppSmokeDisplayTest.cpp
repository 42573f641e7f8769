// The built program in a window of its own under a private X server: it opens the window
// "Quarn Vesil" and, on SIGTERM, takes its road out and exits 0 with this version recorded;
// so it does with FIFOs, symlink loops and an unwritable home in its way, and while its photo
// library is being made anew from thousands of 12-megapixel files.

#include "AppProcess.hpp"
#include "ImagingTestSupport.hpp"
#include "XvfbServer.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/PixelFormat.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace qv::testing {
namespace {

constexpr const char* kSmallProfile = R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
    "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": true}]})";

// Polls X for the window (the app needs a moment to start), at most 30 s.
bool windowAppears(const std::string& title) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (runProgram({"xdotool", "search", "--name", "^" + title + "$"}) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(AppSmoke, OpensItsWindowAndOnSIGTERMExitsZeroWithTheVersionRecorded) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    char pattern[] = "/tmp/qv-app-smoke-XXXXXX";
    const std::filesystem::path home = ::mkdtemp(pattern);
    std::ofstream(home / "profile.json") << kSmallProfile;

    AppProcess app(
        {"--permissions", "camera=authorized,photos=authorized", "--camera-profile",
         (home / "profile.json").string()},
        {{"QV_HOME", home.string()}, {"DISPLAY", xvfb.display()}, {"SDL_AUDIODRIVER", "dummy"}});
    ASSERT_TRUE(app.started());
    EXPECT_TRUE(windowAppears("Quarn Vesil"));
    app.signal(SIGTERM);
    const AppExit exit = app.wait();
    EXPECT_EQ(exit.status, 0) << exit.standardError;

    platform::UserDefaults settings(home / "settings.json");
    EXPECT_EQ(settings.stringValue("lastLaunchedVersion"), platform::appVersion());
    std::filesystem::remove_all(home);
}

// A screen the app cannot draw on (8 bits) ends the start at once: one line naming its depth,
// the status --help gives for a display that cannot show the window, nothing written.
TEST(AppSmoke, AScreenOf8BitsEndsTheStartWithOneLineAndStatusThree) {
    XvfbServer xvfb(8);
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    char pattern[] = "/tmp/qv-app-smoke-XXXXXX";
    const std::filesystem::path home = ::mkdtemp(pattern);
    const AppExit exit = runApp(
        {},
        {{"QV_HOME", home.string()}, {"DISPLAY", xvfb.display()}, {"SDL_AUDIODRIVER", "dummy"}});
    EXPECT_EQ(exit.status, 3);
    EXPECT_EQ(exit.standardOutput, "");
    EXPECT_TRUE(exit.standardError.starts_with("quarn-vesil: the screen of display '" +
                                               xvfb.display() + "' is 8 bits deep"))
        << exit.standardError;
    EXPECT_EQ(std::count(exit.standardError.begin(), exit.standardError.end(), '\n'), 1);
    EXPECT_TRUE(filesUnder(home.string()).empty());
    std::filesystem::remove_all(home);
}

// A home made for one test, removed afterwards.
class Home {
public:
    Home() {
        char pattern[] = "/tmp/qv-app-smoke-XXXXXX";
        path = ::mkdtemp(pattern);
        std::ofstream(path / "profile.json") << kSmallProfile;
    }
    ~Home() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Starts the app in `home`'s profile with `variables`, waits for its window, sends SIGTERM and
// gives its exit, which must come within seconds.
AppExit startAndTerminate(const Home& home, const XvfbServer& xvfb,
                          std::vector<std::string> arguments, Variables variables) {
    arguments.insert(arguments.end(), {"--permissions", "camera=authorized,photos=authorized",
                                       "--camera-profile", (home.path / "profile.json").string()});
    variables.insert({{"DISPLAY", xvfb.display()}, {"SDL_AUDIODRIVER", "dummy"}});
    variables.try_emplace("QV_HOME", home.path.string());
    AppProcess app(arguments, variables);
    EXPECT_TRUE(app.started());
    EXPECT_TRUE(windowAppears("Quarn Vesil"));
    app.signal(SIGTERM);
    return app.wait(std::chrono::seconds(10));
}

TEST(AppSmoke, FifosInPlaceOfItsFilesAndALoopAmongItsFramesNeitherHangNorStopIt) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    Home home;
    ASSERT_EQ(::mkfifo((home.path / "settings.json").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((home.path / "permissions.json").c_str(), 0644), 0);
    const auto frames = home.path / "frames";
    std::filesystem::create_directory(frames);
    platform::imaging::test::TempFolder pictures;
    std::filesystem::copy_file(
        pictures.write("f.jpg",
                       *platform::imaging::encodeJpeg(platform::RgbaImage(400, 300, 8), 90, {})),
        frames / "frame.jpg");
    std::filesystem::create_symlink("a-loop.dng", frames / "a-loop.dng");

    const AppExit exit = startAndTerminate(home, xvfb, {"--camera-source", frames.string()}, {});
    EXPECT_EQ(exit.status, 0) << exit.standardError;
    const std::string& out = exit.standardOutput;
    EXPECT_EQ(occurrences(out, "The settings file '" + (home.path / "settings.json").string() +
                                   "' could not be read (it is a FIFO, not a regular file)"),
              1u)
        << out;
    EXPECT_EQ(occurrences(out, "The permissions file '" +
                                   (home.path / "permissions.json").string() +
                                   "' could not be read (it is a FIFO, not a regular file)"),
              1u)
        << out;
    EXPECT_EQ(occurrences(out, "recorded frame 'a-loop.dng': cannot be read (Too many levels of "
                               "symbolic links); skipped"),
              1u)
        << out;
    platform::UserDefaults settings(home.path / "settings.json");
    EXPECT_EQ(settings.stringValue("lastLaunchedVersion"), platform::appVersion());
}

TEST(AppSmoke, AnUnwritableHomeSaysEachCauseOnce) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    Home home;
    const auto blocker = home.path / "blocker";
    std::ofstream(blocker) << "a file where the home should be";
    const auto unwritable = blocker / "home";

    const AppExit exit = startAndTerminate(home, xvfb, {}, {{"QV_HOME", unwritable.string()}});
    EXPECT_EQ(exit.status, 0) << exit.standardError;
    const std::string& out = exit.standardOutput;
    EXPECT_EQ(occurrences(out, "Could not create the folder '" + unwritable.string() +
                                   "': Not a directory\n"),
              1u)
        << out;
    EXPECT_EQ(occurrences(out, "Could not save the settings to '" +
                                   (unwritable / "settings.json").string() +
                                   "': Not a directory\n"),
              1u)
        << out;
}

// A library whose index is gone (set aside, or a library copied from a backup) and 3,000
// files of 12 megapixels to take in again: more than a start does at once. The window answers
// meanwhile, and SIGTERM ends the app at once, the rows already made kept. On an idle machine
// the app is gone 0.1 to 0.3 s after the signal; the bound leaves room for a machine loaded
// with other tests (2.3 s seen with 18 display tests on 8 processors) and is still far below
// the 40 s and more the app took when its start made the library before anything else.
TEST(AppSmoke, ALibraryMadeAnewAtTheStartHoldsUpNeitherTheWindowNorSIGTERM) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    Home home;
    const auto raw =
        platform::imaging::test::makeBayer(4032, 3024, platform::pixelformat::bayer14RGGB);
    const auto dng = platform::imaging::encodeDng(*raw, platform::imaging::test::resultMetadata());
    ASSERT_TRUE(dng) << dng.error();
    const auto month = home.path / "Photos" / "2024" / "01";
    std::filesystem::create_directories(month);
    std::ofstream(home.path / "picture.DNG", std::ios::binary)
        .write(reinterpret_cast<const char*>(dng->data()), std::streamsize(dng->size()));
    constexpr int files = 3000;
    for (int i = 0; i < files; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "3F2504E0-4F89-41D3-9A0C-%012d.DNG", i);
        std::filesystem::create_hard_link(home.path / "picture.DNG", month / name);
    }

    AppProcess app({"--permissions", "camera=authorized,photos=authorized", "--camera-profile",
                    (home.path / "profile.json").string()},
                   {{"QV_HOME", home.path.string()},
                    {"DISPLAY", xvfb.display()},
                    {"SDL_AUDIODRIVER", "dummy"}});
    ASSERT_TRUE(app.started());
    if (!windowAppears("Quarn Vesil")) {
        app.signal(SIGTERM);
        const AppExit exit = app.wait(std::chrono::seconds(60));
        FAIL() << "no window in 30 s; the app ended with " << exit.status << " and said:\n"
               << exit.standardOutput << exit.standardError;
    }
    const auto sent = std::chrono::steady_clock::now();
    app.signal(SIGTERM);
    const AppExit exit = app.wait(std::chrono::seconds(60));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(exit.status, 0) << exit.standardError;
    EXPECT_LT(took.count(), 10.0);
    EXPECT_EQ(exit.standardOutput.find("took in 3000 files"), std::string::npos)
        << "the library was made before SIGTERM came: too few files to tell";
    EXPECT_EQ(exit.standardOutput.find("damaged"), std::string::npos) << exit.standardOutput;
}

} // namespace
} // namespace qv::testing
