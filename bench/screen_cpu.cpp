// What the camera screen costs while it is left alone: the app as `main` starts it
// (launchQuarnVesil), in its window on a private X server (Xvfb), with a fresh QV_HOME,
// access granted by a preset (--permissions) and the notice of what is new already seen, on
// the camera screen with the live preview and the overlays as the defaults set them. Once
// the screen shows the camera's frames and a warm-up has passed, it measures over a span of
// wall time, on the process's own CPU clocks, the CPU time of the whole process and of its
// main thread (the window's loop, the views, the drawing) per second, with the window frames
// drawn and the live frames the preview received per second (with their size), and the X
// server's CPU time (the presentation it is handed).
//
//   screen_cpu_bench [--seconds N] [--warm-up N] [--shoot | --after-run] [--once]
//
// 20 s measured after 8 s of warm-up by default. --shoot taps the shutter at the start of the
// warm-up (a 2-minute run of the default mode, no delay) and measures during the run;
// --after-run shoots a single frame (no delay) and measures at rest once the run has ended
// and its thumbnail shows (the warm-up starts then). The
// program runs on every CPU of its affinity mask, then again pinned to the first two of them
// (as `taskset -c 0,1` would); with --once, or under a mask of two CPUs or fewer, it runs
// once. The app's console lines are not shown.
// Goal at rest: at most 0.25 of a core for the process, 0.10 for the main thread.

#include "BenchSupport.hpp"
#include "XvfbServer.hpp"
#include "app/AppLaunch.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace qv;
namespace fs = std::filesystem;
namespace ui = platform::ui;
using Clock = std::chrono::steady_clock;

struct Options {
    double seconds = 20;
    double warmUp = 8;
    bool shoot = false;
    bool afterRun = false; // a single frame shot before the warm-up
    bool once = false;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            options.seconds = std::max(1.0, std::atof(argv[++i]));
        } else if (a == "--warm-up" && i + 1 < argc) {
            options.warmUp = std::max(0.0, std::atof(argv[++i]));
        } else if (a == "--shoot") {
            options.shoot = true;
        } else if (a == "--after-run") {
            options.afterRun = true;
        } else if (a == "--once") {
            options.once = true;
        }
    }
    return options;
}

// The CPU time of another process (the X server), from /proc: user and system time.
double processSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) {
            user = std::stoull(field);
        } else if (i == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// One reading of every counter.
struct Reading {
    Clock::time_point wall;
    double process = 0;
    double mainThread = 0;
    double server = 0;
    std::uint64_t framesDrawn = 0;
    int rebuilds = 0;
    std::uint64_t liveFrames = 0;
};

// The measurement, shared by the main thread (the window's loop) and the thread that keeps
// time. Readings of the window's counters are made on the main queue, so the loop is never
// woken while the screen is measured but at the two ends of the span.
class Measurement {
public:
    Measurement(const Options& options, int serverPid) : options_(options), serverPid_(serverPid) {}

    void run(AppSession& session) {
        session_ = &session;
        mainClock_ = threadClock(pthread_self());
        waitForCameraScreen();
        std::thread keeper([this] { keepTime(); });
        session.host.run();
        keeper.join();
        subscription_ = {};
    }

    void report(bool pinned) const {
        if (readings_.size() < 2) {
            std::printf("no measurement: the camera screen never showed live frames\n");
            return;
        }
        const Reading& first = readings_.front();
        const Reading& last = readings_.back();
        const double wall = std::chrono::duration<double>(last.wall - first.wall).count();
        std::vector<double> perSecond;
        for (std::size_t i = 1; i < seconds_.size(); ++i) {
            const double span =
                std::chrono::duration<double>(seconds_[i].wall - seconds_[i - 1].wall).count();
            perSecond.push_back((seconds_[i].process - seconds_[i - 1].process) / span);
        }
        std::sort(perSecond.begin(), perSecond.end());
        std::printf("%s%s, %s, %.1f s measured after %.1f s of warm-up\n",
                    pinned ? "\n== pinned to two CPUs ==\n" : "",
                    options_.shoot      ? "during a run"
                    : options_.afterRun ? "at rest after a run"
                                        : "at rest",
                    bench::machineLine().c_str(), wall, options_.warmUp);
        std::printf("  process:        %.3f of a core (each second: %.3f to %.3f, median %.3f)\n",
                    (last.process - first.process) / wall,
                    perSecond.empty() ? 0 : perSecond.front(),
                    perSecond.empty() ? 0 : perSecond.back(),
                    perSecond.empty() ? 0 : perSecond[perSecond.size() / 2]);
        std::printf("  main thread:    %.3f of a core\n",
                    (last.mainThread - first.mainThread) / wall);
        std::printf("  frames drawn:   %.1f a second (%d x %d pixels, %.2f a point)\n",
                    double(last.framesDrawn - first.framesDrawn) / wall, frameWidth_, frameHeight_,
                    scale_);
        std::printf("  rebuilds:       %.1f a second\n",
                    double(last.rebuilds - first.rebuilds) / wall);
        std::printf("  live frames:    %.1f a second (%d x %d)\n",
                    double(last.liveFrames - first.liveFrames) / wall, liveWidth_, liveHeight_);
        std::printf("  X server:       %.3f of a core\n", (last.server - first.server) / wall);
        if (!options_.shoot) {
            std::printf("  goal: process at most 0.25, main thread at most 0.10\n");
        }
    }

private:
    static clockid_t threadClock(pthread_t thread) {
        clockid_t clock{};
        pthread_getcpuclockid(thread, &clock);
        return clock;
    }

    // A reading of the CPU clocks; of the window's counters too on the main thread (and the
    // size of the newest live frame).
    Reading read(bool onMain) {
        Reading r{Clock::now(),
                  bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID),
                  bench::cpuSeconds(mainClock_),
                  processSeconds(serverPid_),
                  0,
                  0,
                  liveFrames_.load(std::memory_order_relaxed)};
        if (onMain) {
            r.framesDrawn = session_->host.framesDrawn();
            r.rebuilds = session_->scene.rebuilds();
            if (const auto frame =
                    session_->app.cameraManager().cameraPreviewLayer.get()->latestFrame()) {
                liveWidth_ = int(frame->width());
                liveHeight_ = int(frame->height());
            }
        }
        return r;
    }

    // Polls the tree on the main queue until the camera screen shows the preview and its
    // layer has delivered a frame; then counts the layer's frames and lets time run.
    void waitForCameraScreen() {
        platform::DispatchQueue::main().asyncAfter(platform::Seconds(0.1), [this] {
            const ui::ViewTree* tree = session_->scene.tree();
            const auto layer = session_->app.cameraManager().cameraPreviewLayer.get();
            if (tree == nullptr || !tree->find(ui::Query::tag("camera preview")) ||
                !tree->find(ui::Query::tag("shutter")) || !layer || !layer->latestFrame()) {
                waitForCameraScreen();
                return;
            }
            frameWidth_ = session_->host.frameWidth();
            frameHeight_ = session_->host.frameHeight();
            scale_ = session_->host.scale();
            subscription_ = layer->onFrameArrived(
                [this] { liveFrames_.fetch_add(1, std::memory_order_relaxed); });
            std::lock_guard lock(mutex_);
            shown_ = true;
            changed_.notify_all();
        });
    }

    // Runs `work` on the main queue and waits for it.
    void onMain(std::function<void()> work) {
        std::mutex done;
        std::condition_variable finished;
        bool ran = false;
        platform::DispatchQueue::main().async([&] {
            work();
            std::lock_guard lock(done);
            ran = true;
            finished.notify_all();
        });
        std::unique_lock lock(done);
        finished.wait(lock, [&] { return ran; });
    }

    void keepTime() {
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::seconds(60), [this] { return shown_; })) {
                platform::DispatchQueue::main().async([this] { session_->host.quit(); });
                return;
            }
        }
        if (options_.shoot || options_.afterRun) {
            onMain([this] { tapShutter(); });
        }
        if (options_.afterRun) {
            waitForRunEnd();
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(options_.warmUp));
        onMain([this] { readings_.push_back(read(true)); });
        const auto start = readings_.front().wall;
        seconds_.push_back(readings_.front());
        for (int second = 1; second <= int(options_.seconds); ++second) {
            std::this_thread::sleep_until(start + std::chrono::seconds(second));
            seconds_.push_back(read(false));
        }
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(options_.seconds)));
        onMain([this] {
            readings_.push_back(read(true));
            session_->host.quit();
        });
    }

    // Polls the tree until the camera is ready again with the run's thumbnail (at most 60 s).
    void waitForRunEnd() {
        for (int poll = 0; poll < 600; ++poll) {
            bool ended = false;
            onMain([&] {
                const ui::ViewTree* tree = session_->scene.tree();
                ended = tree != nullptr &&
                        session_->app.cameraManager().cameraState.get() == CameraState::ready &&
                        tree->find(ui::Query::tag("thumbnail picture")) != nullptr;
            });
            if (ended) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    // A press and release on the shutter, as the window's pointer sends them.
    void tapShutter() {
        const ui::ViewTree* tree = session_->scene.tree();
        const ui::Element* shutter =
            tree != nullptr ? tree->find(ui::Query::tag("shutter")) : nullptr;
        if (shutter == nullptr) {
            return;
        }
        const ui::Rect frame = shutter->screenFrame();
        const platform::input::Point centre{frame.midX(), frame.midY()};
        auto& graph = session_->scene.graph();
        graph.pointer({platform::input::PointerPhase::down, centre, ui::inputTimeNow()});
        graph.pointer({platform::input::PointerPhase::up, centre, ui::inputTimeNow()});
    }

    Options options_;
    int serverPid_;
    AppSession* session_ = nullptr;
    clockid_t mainClock_{};
    int frameWidth_ = 0, frameHeight_ = 0;
    double scale_ = 0;
    int liveWidth_ = 0, liveHeight_ = 0; // the newest live frame's, at the last reading
    std::atomic<std::uint64_t> liveFrames_{0};
    platform::Subscription subscription_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool shown_ = false;            // the camera screen shows live frames
    std::vector<Reading> readings_; // the two ends of the span
    std::vector<Reading> seconds_;  // every second of it (process and thread only)
};

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const bool pinned = bench::isPinnedCopy(argc, argv);

    testing::XvfbServer xvfb;
    if (!xvfb.running()) {
        std::fprintf(stderr, "screen_cpu_bench: %s\n", xvfb.error().c_str());
        return 1;
    }
    // No sound device is needed: the shutter's click goes nowhere.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string home = (fs::temp_directory_path() / "qv-screen-cpu-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr) {
        std::perror("screen_cpu_bench: mkdtemp");
        return 1;
    }
    setenv("QV_HOME", home.c_str(), 1);
    {
        platform::UserDefaults settings(fs::path(home) / "settings.json");
        settings.set("lastLaunchedVersion", platform::appVersion());
        if (options.shoot || options.afterRun) {
            settings.set("delay", std::int64_t{0});
            // Two minutes, or a single frame.
            settings.set("totalTime", std::int64_t{options.afterRun ? 0 : 22});
        }
    }

    platform::setConsoleSink([](std::string_view) {});
    Measurement measurement(options, xvfb.pid());
    LaunchHooks hooks;
    hooks.runWindow = [&](AppSession& session) { measurement.run(session); };
    const int status =
        launchQuarnVesil({"--permissions", "camera=authorized,photos=authorized,ask=allow"},
                         processEnvironment(), hooks);
    fs::remove_all(home);
    if (status != 0) {
        return status;
    }
    measurement.report(pinned);
    if (pinned || options.once || platform::processorLimits().affinityCpus <= 2) {
        return 0;
    }
    return bench::runPinnedCopy(argc, argv);
}
