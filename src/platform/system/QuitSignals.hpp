#pragma once
// SIGINT, SIGTERM and SIGHUP as a request to quit: instead of ending the process where it
// stands, each one calls `onQuit` on a thread of its own, so the app can take its ordinary
// road out (save what a run has merged, record its state) and exit 0. SIGHUP is what the
// app gets when the terminal it was started from closes: the user is done with it, as with
// Ctrl-C, and the run under way is as much theirs.
//
// A quit signal ignored when the watch starts stays ignored and is not watched: `nohup`
// ignores SIGHUP so that the program outlives its terminal, and a shell ignores SIGINT for
// the background jobs of a script so that Ctrl-C ends only the job in front.
//
// The signals watched are blocked for the whole process and read from a signalfd by one
// watcher thread, so no handler runs inside an interrupted thread and nothing
// async-signal-unsafe happens. Make the watcher on the main thread before any other thread
// starts: threads made later inherit the blocked mask. The signals stay blocked after the
// watcher ends, so one that arrives while the app is on its way out cannot end it half-way.

#include <functional>
#include <memory>
#include <string>

namespace qv::platform {

class QuitSignals {
public:
    /// Starts watching; `onQuit` runs on the watcher's thread, once per signal received.
    /// Returns null, with `error` set to one line, when the signals cannot be watched.
    static std::unique_ptr<QuitSignals> watch(std::function<void(int signal)> onQuit,
                                              std::string& error);
    ~QuitSignals(); // stops the watcher thread
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    struct Watcher;
    explicit QuitSignals(std::unique_ptr<Watcher> watcher);
    std::unique_ptr<Watcher> watcher_;
};

} // namespace qv::platform
