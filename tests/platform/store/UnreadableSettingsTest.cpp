// A settings file that cannot be read now proves nothing about its content: it is left as it
// is, the defaults serve for the run, the run's changes are not written over it, and the next
// start reads it again. Only a file proven bad is set aside (StoreTest, HostileFilesTest).

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;

const std::string stored = "{\"delay\": 5, \"fileFormat\": \"TIFF\"}";

// The lines a store prints for its file that cannot be read now: at opening, and at its
// first write.
std::string linesFor(const fs::path& file, int error) {
    const std::string reason = "cannot be read (" + std::string(std::strerror(error)) + ")";
    return "The settings file '" + file.string() + "' " + reason +
           " now; using the default settings for this run, and the file is left as it is to be "
           "read again at the next start\n"
           "The settings are not saved to '" +
           file.string() + "' in this run: it " + reason + " at the start\n";
}

TEST(UnreadableSettings, AFileThatCannotBeReadNowIsLeftAsItIsAndReadAgainAtTheNextStart) {
    const fs::path run = testing::freshRunFolder();
    for (const int error : {EACCES, EIO, EMFILE, ENFILE, ENOMEM}) {
        SCOPED_TRACE(std::strerror(error));
        const fs::path folder = run / std::to_string(error);
        fs::create_directories(folder);
        const fs::path file = folder / "settings.json";
        std::ofstream(file) << stored;
        {
            const ScopedReadFailure failing(file, error);
            ConsoleCapture console;
            UserDefaults defaults(file);
            EXPECT_FALSE(defaults.has("delay"));
            defaults.set("delay", 10); // holds for the run
            defaults.set("fileFormat", "RAW");
            EXPECT_EQ(defaults.integerValue("delay"), 10);
            defaults.flush();
            defaults.flush();
            EXPECT_EQ(console.text(), linesFor(file, error));
        }
        EXPECT_EQ(contentOf(file), stored);
        EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{"settings.json"});
        EXPECT_EQ(UserDefaults(file).integerValue("delay"), 5); // the next start
    }
}

TEST(UnreadableSettings, AFileTheUserCannotReadIsLeftAsItIs) {
    const fs::path folder = testing::freshRunFolder();
    const fs::path file = folder / "settings.json";
    std::ofstream(file) << stored;
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    {
        const testing::ScopedPermissionBits ordinaryUser;
        ConsoleCapture console;
        UserDefaults defaults(file);
        EXPECT_FALSE(defaults.has("delay"));
        defaults.set("delay", 10);
        defaults.flush();
        EXPECT_EQ(console.text(), linesFor(file, EACCES));
    }
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(contentOf(file), stored);
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{"settings.json"});
}

TEST(UnreadableSettings, WithNoFileDescriptorsLeftTheFileIsLeftAsItIs) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    std::ofstream(file) << stored;
    testing::ChildProcess child([&](testing::ChildProcess&) {
        const rlimit few{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &few);
        std::vector<int> taken;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            taken.push_back(fd);
        }
        ConsoleCapture console;
        UserDefaults defaults(file);
        const bool defaultsServe = !defaults.has("delay");
        for (const int fd : taken) {
            ::close(fd);
        }
        defaults.set("delay", 10);
        defaults.flush();
        return defaultsServe && console.text() == linesFor(file, EMFILE) ? 0 : 1;
    });
    EXPECT_EQ(child.finish(), 0);
    EXPECT_EQ(contentOf(file), stored);
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{"settings.json"});
}

TEST(UnreadableSettings, AWriteThatFindsTheFileUnreadableLeavesItAndTheNextWriteSavesTheChange) {
    const fs::path file = testing::freshTestFolder() / "settings.json";
    std::ofstream(file) << stored;
    UserDefaults defaults(file);
    {
        // The failure and the capture come first: the change queues a write on the store's
        // own queue at once, which may run before the flush below.
        const ScopedReadFailure failing(file, EIO);
        ConsoleCapture console;
        defaults.set("delay", 10);
        defaults.flush();
        EXPECT_EQ(console.text(), "Could not save the settings to '" + file.string() +
                                      "': it cannot be read (Input/output error) now; the next "
                                      "change tries again\n");
        EXPECT_EQ(contentOf(file), stored);
    }
    defaults.flush();
    const UserDefaults reopened(file);
    EXPECT_EQ(reopened.integerValue("delay"), 10);
    EXPECT_EQ(reopened.stringValue("fileFormat"), "TIFF");
}

TEST(UnreadableSettings, ACauseThatLastsIsNeverWordedAsOneThatPasses) {
    // A name too long for the system, a folder on the way that is a link loop: no later try
    // gets past them, so no line says "now" or "tries again", and nothing is set aside.
    const fs::path folder = testing::freshRunFolder();
    fs::create_symlink("loop", folder / "loop");
    const std::vector<std::pair<fs::path, std::string>> cases{
        {folder / (std::string(300, 'n') + ".json"), "File name too long"},
        {folder / "loop" / "settings.json", "Too many levels of symbolic links"},
    };
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(reason);
        ConsoleCapture console;
        UserDefaults defaults(file);
        defaults.set("delay", 10);
        defaults.flush();
        EXPECT_EQ(defaults.integerValue("delay"), 10);
        EXPECT_EQ(console.text(), "The settings file '" + file.string() + "' cannot be read (" +
                                      reason +
                                      "); using the default settings, and no change is saved "
                                      "to it\nThe settings are not saved to '" +
                                      file.string() + "' in this run: it cannot be read (" +
                                      reason + ") at the start\n");
    }
    EXPECT_EQ(testing::namesIn(folder), std::vector<std::string>{"loop"});
}

} // namespace
} // namespace qv::platform
