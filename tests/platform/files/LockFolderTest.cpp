// Lock folders, the locks of a file system without flock or record locks: who may break one
// (machines told apart by their machine id, never by their host name), a lock given back only
// by its taker, and processes killed at any instant never leaving two holders nor a folder
// without its owner.

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/files/FolderLock.hpp"
#include "platform/files/LockOwner.hpp"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <thread>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::namesIn;
using namespace std::chrono_literals;

constexpr const char* otherMachine = "0123456789abcdef0123456789abcdef";
constexpr const char* otherBoot = "00000000-0000-0000-0000-000000000000";
constexpr const char* otherNamespace = "pid:[1]";

void putRecord(const fs::path& file, const LockOwner& owner) {
    std::ofstream(file) << owner.text();
}

// A lock folder held by `owner`, as its taker leaves it.
void putLockFolder(const fs::path& lockFolder, const LockOwner& owner) {
    fs::create_directory(lockFolder);
    putRecord(lockFolder / "owner", owner);
}

class LockOwners : public ::testing::Test {
protected:
    void SetUp() override {
        if (self.machine.empty() || self.boot.empty()) {
            GTEST_SKIP() << "this machine names no machine id or boot id";
        }
    }

    // This process's record, changed by `change`.
    LockOwner changed(const std::function<void(LockOwner&)>& change) const {
        LockOwner owner = self;
        change(owner);
        return owner;
    }

    const LockOwner self = LockOwner::thisProcess();
};

// Each record as its lock's next taker judges it: only a process of this machine (its machine
// id) that has ended is gone; a process of another machine may run, whatever its host name.
TEST_F(LockOwners, AreJudgedByMachineIdAndBootNeverByHostName) {
    const std::string pid = std::to_string(self.pid);
    const std::string host = "'" + self.host + "'";
    const LockOwner ended = changed([](LockOwner& o) { o.pid = testing::goneProcessId(); });
    struct Case {
        const char* what;
        LockOwner owner;
        OwnerState state;
        std::string described;
    };
    const Case cases[] = {
        {"this process", self, OwnerState::running, "process " + pid + " on this machine"},
        {"another machine of this host name, its process running", changed([](LockOwner& o) {
             o.machine = otherMachine;
             o.boot = otherBoot;
         }),
         OwnerState::elsewhere,
         "process " + pid + " on " + host +
             " (another machine of that name: machine id 0123456789abcdef0123456789abcdef)"},
        {"this machine's ended process under another host name", changed([&](LockOwner& o) {
             o = ended;
             o.host = "renamed";
         }),
         OwnerState::gone, "process " + std::to_string(ended.pid) + " on this machine"},
        {"this machine, an earlier boot (the pid runs now)",
         changed([](LockOwner& o) { o.boot = otherBoot; }), OwnerState::gone,
         "process " + pid + " of an earlier boot of this machine"},
        {"a sandbox of this machine in an earlier boot", changed([](LockOwner& o) {
             o.boot = otherBoot;
             o.pidNamespace = otherNamespace;
         }),
         OwnerState::gone, "process " + pid + " of an earlier boot of this machine"},
        {"a sandbox of this boot", changed([](LockOwner& o) { o.pidNamespace = otherNamespace; }),
         OwnerState::elsewhere, "process " + pid + " in another sandbox of this machine"},
        {"the pid used again by a later process", changed([](LockOwner& o) { o.started += 1; }),
         OwnerState::gone, "process " + pid + " on this machine"},
        {"an earlier version's record of this boot, its process ended", changed([&](LockOwner& o) {
             o = ended;
             o.machine.clear();
         }),
         OwnerState::gone, "process " + std::to_string(ended.pid) + " on this machine"},
        {"an earlier version's record of another boot", changed([](LockOwner& o) {
             o.machine.clear();
             o.boot = otherBoot;
         }),
         OwnerState::elsewhere,
         "process " + pid + " on " + host +
             " (its record names no machine id, so whether it ran on this machine before its "
             "last boot cannot be told)"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        // Through its record's text, as another process reads it.
        const std::optional<LockOwner> read = LockOwner::parse(each.owner.text());
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, each.owner);
        EXPECT_EQ(stateOf(*read), each.state);
        EXPECT_EQ(describe(*read), each.described);
    }
}

// Records without a machine id (of earlier versions) are read as before; a record cut short or
// with a key this version does not know names no owner.
TEST_F(LockOwners, RecordsOfEarlierVersionsAreReadAndOthersNameNoOwner) {
    const std::string earlier = "host=studio\nboot=" + self.boot + "\npidns=" + self.pidNamespace +
                                "\npid=42\nstarted=7\ntoken=1-a\n";
    const std::optional<LockOwner> read = LockOwner::parse(earlier);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->machine, "");
    EXPECT_EQ(read->pid, 42);
    const std::string text = self.text();
    EXPECT_FALSE(LockOwner::parse(text.substr(0, text.size() - 1)));
    EXPECT_FALSE(LockOwner::parse(text + "colour=blue\n"));
    EXPECT_FALSE(LockOwner::parse(""));
}

// A lock folder whose owner is of this machine and has ended is taken over; one whose owner may
// run, or that names no owner, is never broken, and the line says who holds it.
TEST_F(LockOwners, DecideWhichLockFoldersAreTakenOverAndWhatTheLineSays) {
    const fs::path lockFolder = testing::freshTestFolder() / "shared.lockdir";
    const std::string quoted = "'" + lockFolder.string() + "'";
    const std::string waited = "another process has held its lock for over 0 ms: ";
    for (const LockOwner& gone :
         {changed([](LockOwner& o) { o.boot = otherBoot; }),
          changed([](LockOwner& o) { o.started += 1; }), changed([](LockOwner& o) {
              o.pid = testing::goneProcessId();
              o.host = "renamed";
          })}) {
        putLockFolder(lockFolder, gone);
        const FolderLock lock(lockFolder, 0ms);
        EXPECT_TRUE(lock.held()) << lock.problem();
    }
    EXPECT_FALSE(fs::exists(lockFolder));

    const LockOwner elsewhere = changed([](LockOwner& o) {
        o.host = "studio";
        o.machine = otherMachine;
        o.boot = otherBoot;
        o.pid = testing::goneProcessId(); // means nothing on another machine
    });
    const struct {
        std::optional<LockOwner> owner;
        std::string why;
    } held[] = {
        {self, quoted + " is held by process " + std::to_string(self.pid) + " on this machine"},
        {elsewhere, quoted + " is held by process " + std::to_string(elsewhere.pid) +
                        " on 'studio' (remove it if nothing there uses it any more)"},
        {std::nullopt, quoted + " names no owner (an earlier version of this app is taking it, "
                                "or was killed while taking it; remove it if no program uses "
                                "it)"},
    };
    for (const auto& [owner, why] : held) {
        fs::remove_all(lockFolder);
        fs::create_directory(lockFolder);
        if (owner) {
            putRecord(lockFolder / "owner", *owner);
        }
        const FolderLock lock(lockFolder, 0ms);
        EXPECT_FALSE(lock.held());
        EXPECT_TRUE(lock.heldElsewhere());
        EXPECT_EQ(lock.problem(), waited + why);
        EXPECT_EQ(namesIn(lockFolder),
                  owner ? std::vector<std::string>{"owner"} : std::vector<std::string>{});
    }
    // A file or a link at its name is no lock folder, and is left as it is.
    fs::remove_all(lockFolder);
    std::ofstream(lockFolder) << "";
    EXPECT_EQ(FolderLock(lockFolder, 0ms).problem(),
              waited + quoted + " is a file, not a lock folder (remove it if no program uses it)");
    fs::remove(lockFolder);
    fs::create_directory_symlink(testing::freshTestFolder(), lockFolder);
    EXPECT_EQ(FolderLock(lockFolder, 0ms).problem(),
              waited + quoted +
                  " is a symbolic link, not a lock folder (remove it if no program uses it)");
}

// A taker killed while taking a lock over left its claim (its record beside the one it moved
// out of "owner"): the next taker completes it, unless that taker still runs.
TEST_F(LockOwners, AClaimLeftByAKilledTakerIsTakenOnAndALiveOnesIsWaitedFor) {
    const fs::path lockFolder = testing::freshTestFolder() / "shared.lockdir";
    const LockOwner ended = changed([](LockOwner& o) { o.pid = testing::goneProcessId(); });
    const LockOwner killedTaker = changed([](LockOwner& o) {
        o.pid = testing::goneProcessId();
        o.token = "1-b";
    });
    fs::create_directory(lockFolder);
    putRecord(lockFolder / ".judged-1-b", ended);
    putRecord(lockFolder / ".owner-1-b", killedTaker);
    {
        const FolderLock lock(lockFolder, 0ms);
        EXPECT_TRUE(lock.held()) << lock.problem();
        EXPECT_EQ(namesIn(lockFolder), std::vector<std::string>{"owner"});
    }
    EXPECT_FALSE(fs::exists(lockFolder));

    const LockOwner liveTaker = changed([](LockOwner& o) { o.token = "1-c"; });
    fs::create_directory(lockFolder);
    putRecord(lockFolder / ".judged-1-c", ended);
    putRecord(lockFolder / ".owner-1-c", liveTaker);
    const FolderLock lock(lockFolder, 0ms);
    EXPECT_FALSE(lock.held());
    EXPECT_TRUE(lock.problem().ends_with("' is being taken over by process " +
                                         std::to_string(self.pid) + " on this machine"))
        << lock.problem();
}

// Leftovers beside a lock of processes killed while they took or gave it back go at the next
// taking; a prepared folder of a taker that runs stays.
TEST_F(LockOwners, LeftoversOfKilledTakersGoAtTheNextTaking) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path lockFolder = folder / "shared.lockdir";
    const LockOwner ended = changed([](LockOwner& o) { o.pid = testing::goneProcessId(); });
    putLockFolder(folder / ".shared.lockdir.taking-1-d", ended);
    putLockFolder(folder / ".shared.lockdir.released-1-e", ended);
    putLockFolder(folder / ".shared.lockdir.taking-1-f", self);
    std::ofstream(folder / "other") << "kept";
    {
        const FolderLock lock(lockFolder, 0ms);
        EXPECT_TRUE(lock.held()) << lock.problem();
    }
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{".shared.lockdir.taking-1-f", "other"}));
}

// A lock folder removed by hand while it was held (as a line invites, where it seems stuck) and
// taken by another: the first taker's giving back leaves the second's lock alone, so a third
// cannot take it while the second holds it.
TEST(LockFolders, AreGivenBackOnlyByTheirTaker) {
    const fs::path lockFolder = testing::freshTestFolder() / "shared.lockdir";
    auto first = std::make_unique<FolderLock>(lockFolder, 0ms);
    ASSERT_TRUE(first->held());
    fs::remove_all(lockFolder);
    const FolderLock second(lockFolder, 0ms);
    ASSERT_TRUE(second.held()) << second.problem();
    first.reset();
    EXPECT_EQ(namesIn(lockFolder), std::vector<std::string>{"owner"});
    EXPECT_FALSE(FolderLock(lockFolder, 0ms).held());
}

// Processes taking one lock folder at once, half of them ending while they hold it: each folder
// left is taken over and the lock is never held by two at once, so no increment of a counter
// kept under it is lost.
TEST(LockFolders, ALockFolderLeftByAProcessThatEndedIsTakenOverAndNeverHeldByTwo) {
    constexpr int rounds = 4;
    constexpr int processCount = 8;
    const fs::path folder = testing::freshTestFolder();
    const fs::path lockFolder = folder / "shared.lockdir";
    const fs::path counter = folder / "counter";
    const fs::path inside = folder / "inside";
    std::ofstream(counter) << 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::unique_ptr<testing::ChildProcess>> processes;
        for (int n = 0; n < processCount; ++n) {
            processes.push_back(std::make_unique<testing::ChildProcess>([&, n](auto& self) {
                self.readyAndWait();
                FolderLock lock(lockFolder, 5s);
                if (!lock.held()) {
                    return 3;
                }
                const int marker = ::open(inside.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (marker < 0) {
                    return 2; // another holds it too
                }
                ::close(marker);
                int count = 0;
                std::ifstream(counter) >> count;
                std::ofstream(counter) << count + 1;
                ::unlink(inside.c_str());
                if (n % 2 == 0) {
                    ::_exit(0); // ends holding it: the folder and its record stay
                }
                return 0;
            }));
        }
        EXPECT_EQ(testing::runTogether(processes), std::vector<int>(processCount, 0))
            << "round " << round;
    }
    int count = 0;
    std::ifstream(counter) >> count;
    EXPECT_EQ(count, rounds * processCount);
    // What is left is the last one's, whose owner has ended: the next taker takes it over.
    const FolderLock next(lockFolder, 0ms);
    EXPECT_TRUE(next.held()) << next.problem();
}

// Whether the process `pid` runs (a zombie, killed and not yet reaped, does not).
bool runs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd != std::string::npos && nameEnd + 2 < line.size() && line[nameEnd + 2] != 'Z';
}

// Takes the lock again and again, checking in each holding that no live process holds it too
// (a holder killed inside leaves its mark, naming a process that no longer runs). Ends only
// when killed, or with 3 when the lock could not be had for 5 s (a folder nobody can take).
[[noreturn]] void takeForEver(const fs::path& lockFolder, const fs::path& inside,
                              const fs::path& twoHolders, const fs::path& stuck) {
    const std::string self = std::to_string(::getpid());
    for (;;) {
        const FolderLock lock(lockFolder, 5s);
        if (!lock.held()) {
            std::ofstream(stuck) << lock.problem() << "\n";
            ::_exit(3);
        }
        std::string mark;
        std::getline(std::ifstream(inside), mark);
        if (!mark.empty() && runs(pid_t(std::stol(mark)))) {
            std::ofstream(twoHolders, std::ios::app) << self << " and " << mark << "\n";
        }
        std::ofstream(inside) << self << "\n";
        std::ofstream(inside).close(); // emptied: given back
    }
}

// Four processes take one lock in a loop while one of them is killed (SIGKILL) every 20 to 200
// ms, at any instant of taking, holding, taking over or giving back: never two holders, and no
// folder is ever left that nobody can take (one without its owner's record); once the last is
// killed the next taker takes it at once, and leaves nothing beside it.
TEST(LockFolders, ProcessesKilledAtAnyInstantNeverLeaveTwoHoldersNorAFolderWithoutItsOwner) {
    constexpr auto storm = 20s;
    constexpr int processCount = 4;
    const fs::path folder = testing::freshTestFolder();
    const fs::path lockFolder = folder / "shared.lockdir";
    const fs::path inside = folder / "inside";
    const fs::path twoHolders = folder / "two-holders";
    const fs::path stuck = folder / "stuck";
    const auto start = [&] {
        return std::make_unique<testing::ChildProcess>(
            [&](auto&) -> int { takeForEver(lockFolder, inside, twoHolders, stuck); });
    };
    std::vector<std::unique_ptr<testing::ChildProcess>> processes;
    for (int n = 0; n < processCount; ++n) {
        processes.push_back(start());
    }
    std::mt19937 random(std::random_device{}());
    int kills = 0;
    for (const auto end = std::chrono::steady_clock::now() + storm;
         std::chrono::steady_clock::now() < end && !fs::exists(stuck);) {
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution(20, 200)(random)));
        auto& victim = processes[std::uniform_int_distribution(0, processCount - 1)(random)];
        victim.reset(); // killed with SIGKILL and reaped
        victim = start();
        ++kills;
    }
    processes.clear();
    EXPECT_FALSE(fs::exists(stuck)) << testing::contentOf(stuck);
    EXPECT_FALSE(fs::exists(twoHolders)) << testing::contentOf(twoHolders);
    {
        const FolderLock next(lockFolder, 0ms);
        EXPECT_TRUE(next.held()) << next.problem();
    }
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"inside"});
    std::cout << kills << " processes killed\n";
}

} // namespace
} // namespace qv::platform
