// The built program in a window of its own under a private X server: it opens the window
// "Quarn Vesil" and, on SIGTERM, takes its road out and exits 0 with this version recorded;
// so it does with FIFOs, symlink loops and an unwritable home in its way, and while its photo
// library is being made anew from thousands of 12-megapixel files.

// gtest before Xlib (XWindows.hpp), whose macros (None, Bool) would rename gtest's own names.
// clang-format off
#include <gtest/gtest.h>
// clang-format on

#include "AppProcess.hpp"
#include "ImagingTestSupport.hpp"
#include "XWindows.hpp"
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
#include <sys/stat.h>
#include <thread>
#include <vector>

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

// A window that cannot be made ends the start at once: one line that says why, the status
// --help gives for it, nothing written. A screen of 8 bits, or a visual named in the
// environment that the app cannot draw in exactly (a colour table's on that screen, where SDL's
// own start fails on it and the app said that no X server answered, with status 1; a
// DirectColor one on a screen of 16 bits, where black was drawn as (8,0,8)): status 3. An X
// server that refuses the app's connection: status 4 (libxcb writes the server's reason on
// standard error before the app's line).
TEST(AppSmoke, AWindowThatCannotBeMadeEndsTheStartWithOneLineAndTheStatusHelpGives) {
    struct Start {
        int depth;
        XvfbClients clients;
        const char* variable; // names the visual of `visualClass`, where set
        int visualClass;
        int status;
        std::string line; // the app's line, after its name, up to the display or the visual
    };
    for (const Start& start : std::vector<Start>{
             {8, XvfbClients::allLetIn, nullptr, 0, 3, "the screen of display "},
             {8, XvfbClients::allLetIn, "SDL_VIDEO_X11_VISUALID", PseudoColor, 3,
              "SDL_VIDEO_X11_VISUALID names the visual "},
             {16, XvfbClients::allLetIn, "SDL_VIDEO_X11_WINDOW_VISUALID", DirectColor, 3,
              "SDL_VIDEO_X11_WINDOW_VISUALID names the visual "},
             {24, XvfbClients::noneLetIn, nullptr, 0, 4, "the X server on display "}}) {
        XvfbServer xvfb(start.depth, start.clients);
        ASSERT_TRUE(xvfb.running()) << xvfb.error();
        Variables variables = {{"DISPLAY", xvfb.display()}, {"SDL_AUDIODRIVER", "dummy"}};
        std::string line = "quarn-vesil: " + start.line;
        std::string named = "'" + xvfb.display() + "'";
        std::string said;
        if (start.variable != nullptr) {
            const auto id = visualIdOf(start.visualClass, start.depth);
            ASSERT_TRUE(id);
            named = "'" + std::to_string(*id) + "'";
            variables.emplace(start.variable, std::to_string(*id));
        }
        line += named;
        SCOPED_TRACE(line);
        Home home;
        variables.emplace("QV_HOME", (home.path / "home").string());
        const AppExit exit = runApp({}, variables);
        EXPECT_EQ(exit.status, start.status);
        EXPECT_EQ(exit.standardOutput, "");
        const std::string& error = exit.standardError;
        const std::size_t at = error.rfind("quarn-vesil: ");
        ASSERT_NE(at, std::string::npos) << error;
        EXPECT_EQ(error.find("quarn-vesil: "), at) << error;
        EXPECT_EQ(error.compare(at, line.size(), line), 0) << error;
        EXPECT_EQ(error.find('\n', at), error.size() - 1) << error;
        EXPECT_FALSE(std::filesystem::exists(home.path / "home"));
    }
}

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
