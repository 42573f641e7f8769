#pragma once
// Hands work to other programs of the desktop: runs a program with an argument vector
// (never through a shell, so no character of an argument is ever interpreted), waits for
// it off the main queue and reports how it ended on the main queue.

#include "platform/dispatch/DispatchQueue.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

// How a program run ended.
struct ProgramOutcome {
    enum class Kind { exited, signalled, notStarted };
    Kind kind = Kind::notStarted;
    int status = 0;         // exit status (exited) or signal number (signalled)
    std::string startError; // why it did not start (notStarted)

    static ProgramOutcome notStarted(std::string why);
    bool succeeded() const { return kind == Kind::exited && status == 0; }
    // "exited with status 3", "ended by signal 9", "could not start: <why>".
    std::string description() const;
};

// The executable file `name` names: `name` itself when it holds a "/", else the first
// executable regular file of that name in the folders of $PATH (empty entries, which
// would mean the current folder, are skipped). Nothing when there is none.
std::optional<std::filesystem::path> findProgram(const std::string& name);

// Starts arguments[0] (looked up as findProgram does) with `arguments` as its argument
// vector, standard input from /dev/null, output and errors shared with this process, the
// signals set as ChildSignals.hpp says (the ones ignored at the app's start stay ignored);
// waits for it and reaps it. Blocks the calling thread: call it off the main queue. An empty
// vector or a program that is not found does not start.
ProgramOutcome runProgramAndWait(const std::vector<std::string>& arguments);

// Like runProgramAndWait, but collects the program's standard output (at most 64 KiB). A
// program that runs longer than two seconds is killed. Nothing unless it exits with 0.
// Meant for quick queries of desktop settings; blocks the caller that long at most.
std::optional<std::string> programOutput(const std::vector<std::string>& arguments);

namespace detail {
// Runs `block` once on a serial queue made for it, which ends after it.
void runOnOwnQueue(std::function<void()> block);
} // namespace detail

// Runs `work` on a serial queue of its own (so one long-running program never holds up
// another) and hands its result to `completion` (when given) on the main queue. Under a
// VirtualDispatch both run on the test's thread when it pumps.
template <typename Result>
void runOffMain(std::function<Result()> work, std::function<void(const Result&)> completion) {
    detail::runOnOwnQueue([work = std::move(work), completion = std::move(completion)]() mutable {
        Result result = work();
        if (completion) {
            DispatchQueue::main().async([completion = std::move(completion),
                                         result = std::move(result)] { completion(result); });
        }
    });
}

// runProgramAndWait(arguments) through runOffMain.
void runProgram(std::vector<std::string> arguments,
                std::function<void(const ProgramOutcome&)> completion);

} // namespace qv::platform
