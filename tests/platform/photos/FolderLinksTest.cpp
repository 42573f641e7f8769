// Whoever can write a folder of the app's may rename it aside and put a link to another folder in
// its place at any instant. At every name the app makes or removes in its folders (lock files
// and lock folders with their records, the photo library's users and probe, files written
// atomically with their temporary names), the folder is swapped so, for that one call: the
// folder the link leads to is never changed.

#include "PhotoTestSupport.hpp"
#include "ProcessTestSupport.hpp"
#include "RecordLockFailure.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/LockOwner.hpp"
#include "platform/store/UserDefaults.hpp"

#include <cerrno>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace qv::platform::test {
namespace {

namespace fs = std::filesystem;

// Every file and folder under `folder`, with its content and mode: what must not change.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        const std::string relative = entry.path().lexically_relative(folder).string();
        files[relative] = std::to_string(status.st_mode) + ":" +
                          (entry.is_regular_file() ? testing::contentOf(entry.path()) : "");
    }
    return files;
}

// At each call on a name in a folder, the folder is renamed aside and a link to `outside` put
// at its path until the call is over. A folder inside one swapped already stays as it is (its
// path leads outside then).
class SwapEveryFolder {
public:
    explicit SwapEveryFolder(fs::path outside)
        : outside_(std::move(outside)),
          steps_([this](FolderStepMoment moment, const fs::path& folder, std::string_view name) {
              step(moment, folder, name);
          }) {}
    ~SwapEveryFolder() { EXPECT_TRUE(swapped_.empty()); }

    // The names seen, each as "<its folder's name>/<name>".
    const std::set<std::string>& seen() const { return seen_; }

private:
    void step(FolderStepMoment moment, const fs::path& folder, std::string_view name) {
        const std::lock_guard lock(mutex_);
        if (moment == FolderStepMoment::before) {
            seen_.insert(folder.filename().string() + "/" + std::string(name));
            if (++depth_[folder] == 1 && !insideSwapped(folder)) {
                // A folder moved away since it was opened (a lock folder given back) is no
                // longer at its path: the link goes there all the same.
                std::error_code missing;
                fs::rename(folder, aside(folder), missing);
                fs::create_directory_symlink(outside_, folder);
                swapped_[folder] = !missing;
            }
        } else if (--depth_[folder] == 0) {
            if (const auto swapped = swapped_.find(folder); swapped != swapped_.end()) {
                fs::remove(folder);
                if (swapped->second) {
                    fs::rename(aside(folder), folder);
                }
                swapped_.erase(swapped);
            }
        }
    }

    bool insideSwapped(const fs::path& folder) const {
        for (const auto& [each, moved] : swapped_) {
            const std::string other = each.string() + "/";
            const std::string mine = folder.string() + "/";
            if (mine.starts_with(other) || other.starts_with(mine)) {
                return true;
            }
        }
        return false;
    }

    static fs::path aside(const fs::path& folder) { return folder.string() + ".aside"; }

    fs::path outside_;
    std::mutex mutex_; // a library's queue may make a call on another thread
    std::map<fs::path, int> depth_;
    std::map<fs::path, bool> swapped_; // each swapped folder: whether it was there to move
    std::set<std::string> seen_;
    ScopedFolderSteps steps_; // last: its calls use the fields above
};

class FolderLinksTest : public PhotoLibraryTest {
protected:
    void SetUp() override {
        PhotoLibraryTest::SetUp();
        outside = root / "outside";
        fs::create_directories(outside / "sub");
        for (const fs::path& file :
             {outside / "owner", outside / "sub" / "owner", outside / "settings.json.lock",
              outside / "library.sqlite.lock", outside / "x.wal-left", outside / "x.folder"}) {
            std::ofstream(file) << "not the app's: " << file.filename().string();
        }
        fs::create_directory(outside / "library.sqlite.users");
        before = snapshot(outside);
    }

    // Changes two settings of the settings file in `home` and writes them.
    static void changeSettings(const fs::path& home) {
        UserDefaults defaults(home / "settings.json");
        defaults.set("delay", 5);
        defaults.flush();
        defaults.set("totalTime", 30);
        defaults.flush();
    }

    // Saves a picture into the library, opens it again and saves another.
    void saveTwice() {
        ASSERT_TRUE(create(writeSource("a.JPG", makeJpeg(40, 30, "2024:01:01 10:00:00"))).success);
        reopen();
        ASSERT_TRUE(create(writeSource("b.JPG", makeJpeg(40, 30, "2024:01:02 10:00:00"))).success);
        library_.reset();
    }

    // A lock folder at `lockFolder` left by a process of this machine that has ended.
    static void leftByAnEndedProcess(const fs::path& lockFolder) {
        LockOwner ended = LockOwner::thisProcess();
        ended.pid = testing::goneProcessId();
        fs::create_directories(lockFolder);
        std::ofstream(lockFolder / "owner") << ended.text();
    }

    fs::path outside;
    std::map<std::string, std::string> before;
};

TEST_F(FolderLinksTest, NoNameTheAppMakesOrRemovesInItsFoldersIsReachedThroughALink) {
    const ConsoleCapture quiet;
    std::set<std::string> seen;
    {
        const SwapEveryFolder swaps(outside);
        // With locks: the settings' lock file, the library's lock file, its users and probe.
        changeSettings(root / "withLocks");
        saveTwice();
        // Without locks: lock folders taken, given back and taken over from an ended owner.
        const ScopedLockFailure noFileLocks(ENOLCK);
        const ScopedRecordLockFailure noRecordLocks(ENOLCK);
        leftByAnEndedProcess(root / "withoutLocks" / "settings.json.lockdir");
        changeSettings(root / "withoutLocks");
        folder = root / "withoutLocks" / "Photos";
        leftByAnEndedProcess(folder / "library.sqlite.lock");
        saveTwice();
        seen = swaps.seen();
    }
    EXPECT_EQ(snapshot(outside), before);
    EXPECT_EQ(rowsIn(folder), 2);
    EXPECT_EQ(UserDefaults(root / "withoutLocks" / "settings.json").integerValue("totalTime"), 30);
    // Every kind of name went through the swaps.
    const auto sawName = [&](const std::string& start, const std::string& end = "") {
        for (const std::string& name : seen) {
            const std::string last = name.substr(name.find('/') + 1);
            if (last.starts_with(start) && last.ends_with(end)) {
                return true;
            }
        }
        return false;
    };
    for (const auto& [start, end] : std::vector<std::pair<std::string, std::string>>{
             {"settings.json.lock", ""},
             {".settings.json.lockdir.taking-", ""},
             {"settings.json.lockdir", ""},
             {".settings.json.lockdir.released-", ""},
             {"owner", ""},
             {".owner-", ""},
             {".judged-", ""},
             {"library.sqlite.lock", ""},
             {".library.sqlite.lock.taking-", ""},
             {"library.sqlite.users", ""},
             {"", ".wal"},
             {"", ".folder"},
             {"settings.json.tmp-", ""},
             {"settings.json", ""},
             {"", ".JPG"},
         }) {
        EXPECT_TRUE(sawName(start, end)) << start << "..." << end;
    }
}

} // namespace
} // namespace qv::platform::test
