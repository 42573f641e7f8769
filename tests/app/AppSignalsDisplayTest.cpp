// The app in a process of its own on the real clock, as `main` runs it (launchQuarnVesil,
// its signals watched), its standard output and error pipes the test reads: a run under
// way when the terminal closes (SIGHUP) or when the reader of its output goes away
// (`quarn-vesil | head -c1`) is ended and saved, and the status is 0; a hang-up or an
// interrupt the app was started to ignore (nohup, a shell's background job) ends nothing.
// What the main queue sets in the settings on the road out is in the file after the exit.
//
// The child tells the test on a pipe of its own when the shutter was pressed ("pressed"), when
// a run's frames arrive ("frame N") and how many turns the road out's wait took ("turn N"), so
// the test waits on events, never on time; every wait has a bound so that a broken app fails
// the test instead of hanging it.

#include "ImagingTestSupport.hpp"
#include "XvfbServer.hpp"
#include "app/AppLaunch.hpp"
#include "camera/CameraManager.hpp"
#include "model/AppVersion.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kSmallProfile = R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
    "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": true}]})";

// Five minutes: no run of this test ends by itself.
constexpr std::int64_t kFiveMinutes = 28;

// The settings key the road out's main-queue blocks write their turn to.
constexpr const char* kRoadOutTurnKey = "roadOutTurn";

// Writes "frame N" on `events` whenever the run has merged more frames, looking on the main
// queue every 20 ms while the window's loop runs.
class FrameReporter {
public:
    FrameReporter(CameraManager& camera, int events)
        : state_(std::make_shared<State>(State{camera, events})) {
        look(state_);
    }
    ~FrameReporter() { state_->stopped = true; }
    FrameReporter(const FrameReporter&) = delete;
    FrameReporter& operator=(const FrameReporter&) = delete;

private:
    struct State {
        CameraManager& camera;
        int events;
        std::uint32_t reported = 0;
        bool stopped = false;
    };
    static void look(const std::shared_ptr<State>& state) {
        if (state->stopped) {
            return;
        }
        const auto merger = state->camera.exposureSequence->photoMerger();
        const std::uint32_t frames = merger ? merger->totalFrames1() : 0;
        if (frames > state->reported) {
            state->reported = frames;
            ::dprintf(state->events, "frame %u\n", frames);
        }
        platform::DispatchQueue::main().asyncAfter(platform::Seconds(0.02),
                                                   [state] { look(state); });
    }
    std::shared_ptr<State> state_;
};

// The child: waits until the camera is ready, starts a five-minute run as the shutter does,
// reports the frames merged on `events`, and runs the window's loop as the app does. Each
// turn of the road out's wait is the app's own (the main queue's due work, 10 ms), after
// which a main-queue block is queued that writes the turn's number to the settings: the
// last one runs only once the wait is over, among the main queue's last blocks.
int runAppWithARun(const EnvironmentVariables& environment, int events) {
    LaunchHooks hooks;
    hooks.watchesSignals = true;
    hooks.waitTurn = [events, turns = std::make_shared<std::int64_t>(0)] {
        platform::MainLoop::runDueWork();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::int64_t turn = ++*turns;
        platform::DispatchQueue::main().async(
            [turn] { platform::UserDefaults::standard().set(kRoadOutTurnKey, turn); });
        ::dprintf(events, "turn %lld\n", static_cast<long long>(turn));
    };
    hooks.runWindow = [events](AppSession& session) {
        CameraManager& camera = session.app.cameraManager();
        for (int turn = 0; turn < 1200 && camera.cameraState.get() != CameraState::ready; ++turn) {
            if (!session.host.step(0.05)) {
                return;
            }
        }
        camera.settings.shutterReleaseDelay.set(Delay::off);
        camera.sendWillChange();
        camera.exposureSequence->setSelectedDurationIndex(kFiveMinutes);
        camera.shutterReleasePressed();
        ::dprintf(events, "pressed\n");
        const FrameReporter frames(camera, events);
        session.host.run();
    };
    const std::vector<std::string> arguments = {
        "--permissions", "camera=authorized,photos=authorized", "--camera-profile",
        environment.at("QV_HOME") + "/profile.json"};
    return launchQuarnVesil(arguments, environment, hooks);
}

// One launch of the app in a child process: its standard output, standard error and frame
// events are pipes read here. `ignored`: signals the child ignores before the app starts, as
// `nohup` (SIGHUP) and a shell's background job (SIGINT) leave them.
class AppChild {
public:
    explicit AppChild(const EnvironmentVariables& environment, std::vector<int> ignored = {}) {
        int out[2];
        int err[2];
        int events[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe(events) != 0) {
            return;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            for (const int fd : {out[0], out[1], err[0], err[1], events[0]}) {
                ::close(fd);
            }
            for (const auto& [name, value] : environment) {
                ::setenv(name.c_str(), value.c_str(), 1);
            }
            for (const int signal : ignored) {
                std::signal(signal, SIG_IGN);
            }
            const int status = runAppWithARun(environment, events[1]);
            std::fflush(stdout);
            ::_exit(status);
        }
        ::close(out[1]);
        ::close(err[1]);
        ::close(events[1]);
        output_ = out[0];
        error_ = err[0];
        events_ = events[0];
    }
    ~AppChild() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeOutput();
        if (events_ >= 0) {
            ::close(events_);
        }
    }
    AppChild(const AppChild&) = delete;
    AppChild& operator=(const AppChild&) = delete;

    bool started() const { return pid_ > 0; }
    std::uint32_t lastFrame() const { return lastFrame_; }
    std::int64_t roadOutTurns() const { return lastTurn_; }
    const std::string& output() const { return outputText_; }
    void signal(int number) const { ::kill(pid_, number); }

    // Closes the test's ends of the app's standard output and error, as `| head -c1` does
    // once it has its byte: the app's next write there finds no reader.
    void closeOutput() {
        for (int* fd : {&output_, &error_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }

    // Reads what comes until the shutter was pressed; false when the events end first or it
    // was not pressed within `limit`.
    bool waitForPress(std::chrono::seconds limit = std::chrono::seconds(60)) {
        return waitForEvent([this] { return pressed_; }, limit);
    }

    // Reads what comes until frame `number` or a later one was reported; false when the
    // events end first or none came within `limit`.
    bool waitForFrame(std::uint32_t number, std::chrono::seconds limit = std::chrono::seconds(60)) {
        return waitForEvent([this, number] { return lastFrame_ >= number; }, limit);
    }

    // Reads what comes until `happened`; false when the events end first or it did not
    // happen within `limit`.
    bool waitForEvent(const std::function<bool()>& happened, std::chrono::seconds limit) {
        const auto end = Clock::now() + limit;
        while (!happened()) {
            if (events_ < 0 || Clock::now() > end) {
                return false;
            }
            readSome(100);
        }
        return true;
    }

    // Waits for the exit, at most `limit`: the status, or -1 when the child was ended by a
    // signal or still runs.
    int waitForExit(std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            readSome(50);
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (readSome(0)) {
                }
                ending_ = WIFSIGNALED(status)
                              ? "ended by signal " + std::to_string(WTERMSIG(status))
                              : "exited";
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        ending_ = "still running";
        return -1;
    }

    // What the test read of the app's output and how it ended, for failure messages.
    std::string story() const {
        return ending_ + "; standard error:\n" + errorText_ + "\nstandard output (end):\n" +
               outputText_.substr(outputText_.size() > 2000 ? outputText_.size() - 2000 : 0);
    }

private:
    // Waits up to `milliseconds` for any pipe, then reads what each holds; false when none
    // had anything.
    bool readSome(int milliseconds) {
        pollfd fds[3] = {{output_, POLLIN, 0}, {error_, POLLIN, 0}, {events_, POLLIN, 0}};
        if (::poll(fds, 3, milliseconds) <= 0) {
            return false;
        }
        char buffer[4096];
        const auto drain = [&](int& fd, std::string& into, const pollfd& polled) {
            if (fd < 0 || (polled.revents & (POLLIN | POLLHUP)) == 0) {
                return;
            }
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fd);
                fd = -1;
                return;
            }
            into.append(buffer, std::size_t(n));
        };
        drain(output_, outputText_, fds[0]);
        drain(error_, errorText_, fds[1]);
        drain(events_, eventText_, fds[2]);
        for (std::size_t end = eventText_.find('\n'); end != std::string::npos;
             end = eventText_.find('\n')) {
            std::uint32_t number = 0;
            long long turn = 0;
            if (eventText_.compare(0, end, "pressed") == 0) {
                pressed_ = true;
            } else if (std::sscanf(eventText_.c_str(), "frame %u", &number) == 1) {
                lastFrame_ = std::max(lastFrame_, number);
            } else if (std::sscanf(eventText_.c_str(), "turn %lld", &turn) == 1) {
                lastTurn_ = turn;
            }
            eventText_.erase(0, end + 1);
        }
        return true;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    int error_ = -1;
    int events_ = -1;
    std::string outputText_;
    std::string errorText_;
    std::string eventText_;
    bool pressed_ = false;
    std::uint32_t lastFrame_ = 0;
    std::int64_t lastTurn_ = 0;
    std::string ending_;
};

class AppSignals : public ::testing::Test {
protected:
    AppSignals() {
        char pattern[] = "/tmp/qv-app-signals-XXXXXX";
        home = ::mkdtemp(pattern);
        std::ofstream(home / "profile.json") << kSmallProfile;
        environment = {{"QV_HOME", home.string()},
                       {"DISPLAY", xvfb.display()},
                       {"SDL_AUDIODRIVER", "dummy"},
                       {"PATH", std::getenv("PATH") != nullptr ? std::getenv("PATH") : ""}};
    }
    ~AppSignals() override { fs::remove_all(home); }

    // The pictures in Documents.
    std::vector<fs::path> documents() const {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(home / "Documents", error)) {
            files.push_back(entry.path());
        }
        return files;
    }

    // The run's picture is in Documents, whole: exiftool reads its exposure time.
    void expectOneSavedRun() {
        const auto files = documents();
        ASSERT_EQ(files.size(), 1u) << "the run is saved";
        const auto run = platform::imaging::test::runTool(
            "exiftool", {"-s3", "-n", "-ExposureTime", files.front().string()});
        EXPECT_GT(std::strtod(run.output.c_str(), nullptr), 0) << files.front();
    }

    XvfbServer xvfb;
    fs::path home;
    EnvironmentVariables environment;
};

TEST_F(AppSignals, TheTerminalClosingMidRunSavesTheRunAndExitsZero) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    AppChild app(environment);
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitForFrame(1)) << app.story();
    {
        // Another process holds the settings' lock through the road out, so each write of
        // the settings waits its second for it: one left queued at the app's end would be
        // cut short by the exit.
        const platform::FileLock held = platform::lockForRewriting(home / "settings.json");
        ASSERT_TRUE(held.held()) << held.problem();
        app.signal(SIGHUP);
        EXPECT_EQ(app.waitForExit(), 0) << app.story();
    }
    expectOneSavedRun();
    // The version recorded on the road out is written behind it; the road's end flushes it
    // before the child's _exit.
    EXPECT_EQ(platform::UserDefaults(home / "settings.json").stringValue(lastLaunchedVersionKey),
              platform::appVersion());
    // The last turn's block ran after the road out's wait, and its value reached the file
    // before the child's _exit.
    ASSERT_GT(app.roadOutTurns(), 0) << app.story();
    EXPECT_EQ(platform::UserDefaults(home / "settings.json").integerValue(kRoadOutTurnKey),
              app.roadOutTurns());
}

// The first frame of a run comes seconds after the press (the start locks the focus, then
// the first exposure): a quit signal before it ends the app at once, with one line saying
// that there is nothing to save.
TEST_F(AppSignals, AQuitBeforeTheFirstFrameSaysThereIsNothingToSaveAndExitsZero) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    AppChild app(environment);
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitForPress()) << app.story();
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(), 0) << app.story();
    ASSERT_EQ(app.lastFrame(), 0u) << "the first frame came before the signal: " << app.story();
    EXPECT_NE(app.output().find(std::string(nothingShotLine) + "\n"), std::string::npos)
        << app.story();
    EXPECT_EQ(app.output().find("Quitting before"), std::string::npos) << app.story();
    EXPECT_TRUE(documents().empty());
}

TEST_F(AppSignals, AHangUpOrInterruptIgnoredAtTheStartNeitherEndsTheRunNorTheApp) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    AppChild app(environment, {SIGHUP, SIGINT});
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitForFrame(1)) << app.story();
    app.signal(SIGHUP);
    app.signal(SIGINT);
    ASSERT_TRUE(app.waitForFrame(app.lastFrame() + 2))
        << "the app ended at a signal it ignores: " << app.story();
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(), 0) << app.story();
    expectOneSavedRun();
}

TEST_F(AppSignals, AClosedOutputPipeMidRunNeitherEndsTheRunNorTheApp) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    AppChild app(environment);
    ASSERT_TRUE(app.started());
    ASSERT_TRUE(app.waitForFrame(1)) << app.story();
    app.closeOutput();
    // Every frame prints its lines: two more frames wrote into the closed pipes.
    ASSERT_TRUE(app.waitForFrame(app.lastFrame() + 2))
        << "the app ended when its output closed: " << app.story();
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(), 0) << app.story();
    expectOneSavedRun();
}

} // namespace
} // namespace qv::testing
