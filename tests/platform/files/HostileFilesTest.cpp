// What lies in place of a file the app reads: FIFOs, devices, folders, symlink loops and
// sparse files of gigabytes are refused before anything blocks or is allocated for them.

#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv::platform;
namespace fs = std::filesystem;

namespace {

class HostileFiles : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override { root = qv::testing::freshTestFolder(); }

    // Puts one kind of hostile file at `file`; the reason the reader gives for it.
    static std::string makeHostile(const std::string& kind, const fs::path& file) {
        if (kind == "fifo") {
            EXPECT_EQ(::mkfifo(file.c_str(), 0644), 0);
            return "is a FIFO, not a regular file";
        }
        if (kind == "dev-zero") {
            fs::create_symlink("/dev/zero", file);
            return "is a character device, not a regular file";
        }
        if (kind == "folder") {
            fs::create_directory(file);
            return "is a folder, not a regular file";
        }
        if (kind == "loop") {
            fs::create_symlink(file.filename(), file);
            return "cannot be read (Too many levels of symbolic links)";
        }
        // A sparse file of 3 GB: nothing on the disk, but read whole it would need 3 GB.
        std::ofstream(file) << "{}";
        EXPECT_EQ(::truncate(file.c_str(), 3LL << 30), 0);
        return "is larger than 1 MB";
    }
};

const std::vector<std::string> kinds{"fifo", "dev-zero", "folder", "loop", "sparse"};

} // namespace

TEST_F(HostileFiles, TheReaderRefusesAllButBoundedRegularFilesAndSaysWhatTheyAre) {
    for (const std::string& kind : kinds) {
        SCOPED_TRACE(kind);
        const fs::path file = root / kind;
        const std::string reason = makeHostile(kind, file);
        std::string content = "stale";
        const auto problem = readRegularFile(file, 1 << 20, content);
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->reason, reason);
        EXPECT_TRUE(content.empty());
    }
    std::ofstream(root / "plain") << "twelve bytes";
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(readRegularFile(root / "plain", 12, bytes));
    EXPECT_EQ(bytes.size(), 12u);
    const auto tooLarge = readRegularFile(root / "plain", 11, bytes);
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->reason, "is larger than 11 bytes");
    const auto missing = readRegularFile(root / "missing", 12, bytes);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind, FileProblem::Kind::missing);
}

TEST_F(HostileFiles, SettingsInPlaceOfAnyOfThemAreSetAsideWithOneLineAndWritesGoOn) {
    for (const std::string& kind : kinds) {
        SCOPED_TRACE(kind);
        const fs::path folder = root / kind;
        fs::create_directory(folder);
        const fs::path file = folder / "settings.json";
        std::string reason = makeHostile(kind, file);
        // The settings follow a link themselves, and say what it leads to.
        if (kind == "dev-zero") {
            reason = "is a link to '/dev/zero', which " + reason;
        } else if (kind == "loop") {
            reason = "is a link that leads back to itself";
        }
        ConsoleCapture console;
        UserDefaults defaults(file); // returns at once: a FIFO with no writer does not block
        EXPECT_FALSE(defaults.has("delay"));
        const std::string text = console.text();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find("could not be read (it " + reason + "); moved it to '"),
                  std::string::npos)
            << text;
        defaults.set("delay", 5);
        defaults.flush();
        EXPECT_EQ(UserDefaults(file).integerValue("delay"), 5);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3)
            << "the settings, their lock and the one set aside";
    }
}
