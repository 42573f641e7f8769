#include "platform/system/ProgramRunner.hpp"

#include "MainQueueDrain.hpp"
#include "ProcessTestSupport.hpp"
#include "StubPrograms.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace qv::platform {
namespace {

using testing::StubPrograms;

struct Finished {
    std::optional<ProgramOutcome> outcome;
    bool onMain = false;
};

Finished run(VirtualDispatch& dispatch, std::vector<std::string> arguments) {
    Finished finished;
    runProgram(std::move(arguments), [&](const ProgramOutcome& outcome) {
        finished.outcome = outcome;
        finished.onMain = DispatchQueue::main().isCurrent();
    });
    dispatch.runUntilIdle();
    return finished;
}

TEST(ProgramRunner, ArgumentsArriveVerbatimAndTheExitStatusComesBackOnTheMainQueue) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("tool", 3);
    const std::vector<std::string> arguments{"a b", "$(exit 1)", "; exit 0", "", "-x", "'\"\n"};
    std::vector<std::string> command{"tool"};
    command.insert(command.end(), arguments.begin(), arguments.end());

    const Finished finished = run(dispatch, command);

    ASSERT_TRUE(finished.outcome);
    EXPECT_EQ(finished.outcome->kind, ProgramOutcome::Kind::exited);
    EXPECT_EQ(finished.outcome->status, 3);
    EXPECT_FALSE(finished.outcome->succeeded());
    EXPECT_TRUE(finished.onMain);
    ASSERT_EQ(stubs.runs("tool").size(), 1u);
    EXPECT_EQ(stubs.runs("tool")[0], arguments);
}

TEST(ProgramRunner, TheWorkRunsOffTheMainQueue) {
    VirtualDispatch dispatch;
    bool workOnMain = true;
    bool done = false;
    runOffMain<int>(
        [&] {
            workOnMain = isMainThread();
            return 7;
        },
        [&](const int& result) { done = result == 7 && isMainThread(); });
    EXPECT_FALSE(done); // nothing runs before the queues are pumped
    dispatch.runUntilIdle();
    EXPECT_FALSE(workOnMain);
    EXPECT_TRUE(done);
}

TEST(ProgramRunner, OnRealThreadsTheOutcomeArrivesWhenTheHostDrainsTheMainQueue) {
    StubPrograms stubs;
    stubs.add("tool", 5);
    std::optional<ProgramOutcome> outcome; // written on the main thread only
    runProgram({"tool"}, [&](const ProgramOutcome& o) {
        EXPECT_TRUE(isMainThread());
        outcome = o;
    });
    testing::drainMainQueueUntil([&] { return outcome.has_value(); });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->status, 5);
}

TEST(ProgramRunner, MissingAndKilledProgramsAreReportedAsSuch) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.addKilled("dies");

    const Finished missing = run(dispatch, {"no-such-program"});
    ASSERT_TRUE(missing.outcome);
    EXPECT_EQ(missing.outcome->kind, ProgramOutcome::Kind::notStarted);
    EXPECT_EQ(missing.outcome->description(), "could not start: no-such-program was not found");

    const Finished killed = run(dispatch, {"dies"});
    ASSERT_TRUE(killed.outcome);
    EXPECT_EQ(killed.outcome->kind, ProgramOutcome::Kind::signalled);
    EXPECT_EQ(killed.outcome->description(), "ended by signal 9");

    EXPECT_EQ(runProgramAndWait({}).kind, ProgramOutcome::Kind::notStarted);
}

// The signals a program started by `arguments` ignores, from its own /proc/self/status.
std::optional<std::uint64_t> ignoredSignalsOf(const std::string& statusLine) {
    std::istringstream line(statusLine);
    std::string label;
    std::uint64_t mask = 0;
    if (line >> label >> std::hex >> mask && label == "SigIgn:") {
        return mask;
    }
    return std::nullopt;
}

bool ignores(std::uint64_t mask, int signal) {
    return (mask >> (signal - 1) & 1) != 0;
}

// Run in a process of its own (the test after it starts one): which signals were ignored is
// recorded once per process, at its start.
TEST(ProgramRunnerStartedUnderNohup, AProgramKeepsTheSignalsTheAppStartedWithIgnored) {
    if (std::getenv("QV_STARTED_UNDER_NOHUP") == nullptr) {
        GTEST_SKIP() << "run by the next test in a process started with SIGHUP ignored";
    }
    // The app ignores SIGPIPE for itself, handles SIGTERM, and ignores SIGINT after its
    // start: the program it starts must ignore SIGHUP only.
    keepGoingWhenOutputCloses();
    std::signal(SIGTERM, [](int) {});
    std::signal(SIGINT, SIG_IGN);
    const std::optional<std::string> status =
        programOutput({"grep", "^SigIgn:", "/proc/self/status"});
    ASSERT_TRUE(status);
    const std::optional<std::uint64_t> mask = ignoredSignalsOf(*status);
    ASSERT_TRUE(mask) << *status;
    EXPECT_TRUE(ignores(*mask, SIGHUP));
    EXPECT_FALSE(ignores(*mask, SIGPIPE));
    EXPECT_FALSE(ignores(*mask, SIGINT));
    EXPECT_FALSE(ignores(*mask, SIGTERM));
}

TEST(ProgramRunner, UnderNohupTheProgramsTheAppStartsKeepIgnoringTheHangUp) {
    testing::ChildProcess child([](testing::ChildProcess&) {
        std::signal(SIGHUP, SIG_IGN);
        ::setenv("QV_STARTED_UNDER_NOHUP", "1", 1);
        ::execl("/proc/self/exe", "system_tests", "--gtest_filter=ProgramRunnerStartedUnderNohup.*",
                static_cast<char*>(nullptr));
        return 127;
    });
    EXPECT_EQ(child.finish(), 0);
}

TEST(ProgramRunner, FindsProgramsOnlyInTheFoldersOfPath) {
    StubPrograms stubs;
    stubs.add("tool");
    EXPECT_EQ(findProgram("tool"), stubs.folder() / "tool");
    EXPECT_FALSE(findProgram("sh")); // /bin is not on this PATH
    EXPECT_EQ(findProgram("/bin/sh"), std::filesystem::path("/bin/sh"));
    EXPECT_FALSE(findProgram((stubs.folder() / "tool.run0").string())); // not executable
    testing::EnvironmentOverride emptyEntries("PATH", "::");
    EXPECT_FALSE(findProgram("tool"));
}

TEST(ProgramRunner, ProgramOutputIsCollectedOnlyFromASuccessfulRun) {
    StubPrograms stubs;
    stubs.add("answers", 0, "firefox.desktop\n");
    stubs.add("fails", 1, "partial");
    EXPECT_EQ(programOutput({"answers", "query"}), "firefox.desktop\n");
    EXPECT_EQ(stubs.runs("answers")[0], std::vector<std::string>{"query"});
    EXPECT_FALSE(programOutput({"fails"}));
    EXPECT_FALSE(programOutput({"no-such-program"}));
}

} // namespace
} // namespace qv::platform
