// A settings file kept as a symbolic link (into a "dotfiles" folder, say) stays a link: its
// target is replaced in its own folder, and made there when it is missing. A link that leads
// to a loop or to what is no regular file is set aside itself, never what it points to.

#include "ProcessTestSupport.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/files/SharedJsonFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <cerrno>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;
using testing::namesIn;
using namespace std::chrono_literals;

std::size_t linesIn(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

class LinkedSettings : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path root = testing::freshTestFolder();
        config = root / "config";
        dotfiles = root / "dotfiles";
        fs::create_directories(config);
        fs::create_directories(dotfiles);
        file = config / "settings.json";
    }

    fs::path config;
    fs::path dotfiles;
    fs::path file;
};

// A link of another user at the settings' name (whoever can write the folder can put one there,
// to lead the app's writes to any file this user may write) is never followed: it is set aside
// itself with one line, and the file it leads to, even a valid settings file, stays as it is.
// Also a link of another user further along a chain of this user's links.
TEST_F(LinkedSettings, ALinkOfAnotherUserIsNeverFollowed) {
    constexpr uid_t otherUser = 65534;
    const fs::path victim = dotfiles / "victim.json";
    for (const bool deeper : {false, true}) {
        SCOPED_TRACE(deeper ? "further along a chain" : "at the name");
        fs::remove_all(config);
        fs::create_directories(config);
        std::ofstream(victim) << "{\"totalTime\": 6}";
        const fs::path foreign = deeper ? dotfiles / "foreign.json" : file;
        fs::create_symlink(victim, foreign);
        if (::lchown(foreign.c_str(), otherUser, otherUser) != 0) {
            GTEST_SKIP() << "a link of another user needs root to make";
        }
        if (deeper) {
            fs::create_symlink(foreign, file);
        }
        ConsoleCapture console;
        {
            UserDefaults defaults(file);
            EXPECT_EQ(defaults.integerValue("totalTime"), std::nullopt);
            defaults.set("totalTime", 30);
            defaults.flush();
        }
        const std::string why = deeper
                                    ? "it is a link to '" + foreign.string() + "', which is a link"
                                    : std::string("it is a link");
        EXPECT_NE(console.text().find("The settings file '" + file.string() +
                                      "' could not be read (" + why +
                                      " of another user (uid 65534), which the app does not "
                                      "follow); moved it to '"),
                  std::string::npos)
            << console.text();
        EXPECT_EQ(contentOf(victim), "{\"totalTime\": 6}");
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_EQ(UserDefaults(file).integerValue("totalTime"), 30);
    }
}

TEST_F(LinkedSettings, AChangeReplacesTheTargetInItsOwnFolderAndTheLinkStays) {
    // One link straight into the dotfiles folder, and a chain of two.
    for (const bool chained : {false, true}) {
        SCOPED_TRACE(chained ? "a chain of two links" : "one link");
        fs::remove_all(config);
        fs::remove_all(dotfiles);
        fs::create_directories(config);
        fs::create_directories(dotfiles);
        const fs::path target = dotfiles / "quarn-settings.json";
        std::ofstream(target) << "{\"fileFormat\": \"TIFF\", \"totalTime\": 6}";
        const fs::path linkText = chained ? fs::path("../dotfiles/current.json")
                                          : fs::path("../dotfiles/quarn-settings.json");
        if (chained) {
            fs::create_symlink("quarn-settings.json", dotfiles / "current.json");
        }
        fs::create_symlink(linkText, file);
        ConsoleCapture console;
        {
            UserDefaults defaults(file);
            EXPECT_EQ(defaults.stringValue("fileFormat"), "TIFF");
            defaults.set("totalTime", 30);
            defaults.flush();
        }
        EXPECT_EQ(console.text(), "");
        ASSERT_TRUE(fs::is_symlink(file));
        EXPECT_EQ(fs::read_symlink(file), linkText);
        EXPECT_EQ(contentOf(target), "{\n  \"fileFormat\": \"TIFF\",\n  \"totalTime\": 30\n}\n");
        // The lock stays beside the name every process opens; no temporary file is left.
        EXPECT_EQ(namesIn(config),
                  (std::vector<std::string>{"settings.json", "settings.json.lock"}));
        EXPECT_EQ(namesIn(dotfiles).size(), chained ? 2u : 1u);
        EXPECT_EQ(UserDefaults(file).integerValue("totalTime"), 30);
    }
}

TEST_F(LinkedSettings, OpeningCleansTheTargetsLeftoversAndNothingElseInItsFolder) {
    const fs::path target = dotfiles / "quarn-settings.json";
    std::ofstream(target) << "{}";
    fs::create_symlink(target, file);
    const pid_t gone = testing::goneProcessId();
    const std::string killed = "quarn-settings.json.tmp-" + std::to_string(gone) + "-0";
    const std::string others = "other.json.tmp-" + std::to_string(gone) + "-0";
    for (const std::string& name : {killed, others}) {
        std::ofstream(dotfiles / name) << "half";
        fs::last_write_time(dotfiles / name, fs::file_time_type::clock::now() - 2min);
    }
    const UserDefaults defaults(file);
    EXPECT_EQ(namesIn(dotfiles), (std::vector<std::string>{others, "quarn-settings.json"}));
}

TEST_F(LinkedSettings, ADamagedTargetIsSetAsideBesideItselfAndTheLinkStays) {
    const fs::path target = dotfiles / "quarn-settings.json";
    std::ofstream(target) << "{\"totalTime\": ";
    fs::create_symlink(target, file);
    ConsoleCapture console;
    UserDefaults defaults(file);
    const std::vector<std::string> left = namesIn(dotfiles);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0], "quarn-settings.json");
    const fs::path aside = dotfiles / left[1];
    EXPECT_TRUE(left[1].starts_with("quarn-settings.json.corrupt_")) << left[1];
    EXPECT_EQ(contentOf(aside), "{\"totalTime\": ");
    // An empty object in its place, so that the link keeps leading to a file.
    EXPECT_EQ(contentOf(target), "{}\n");
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(console.text(), "The settings file '" + target.string() + "' (linked from '" +
                                  file.string() +
                                  "') could not be read (it is not valid JSON); moved it to '" +
                                  aside.string() + "' and using the default settings\n");
    defaults.set("totalTime", 30);
    defaults.flush();
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(contentOf(target), "{\n  \"totalTime\": 30\n}\n");
}

TEST_F(LinkedSettings, ALinkThatLeadsToNoRegularFileIsSetAsideItselfAndNeverWhatItPointsTo) {
    const fs::path fifo = dotfiles / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    struct Case {
        std::string name;
        std::function<void()> make;
        std::string problem;
        fs::path linkText;
    };
    const std::vector<Case> cases{
        {"to a FIFO", [&] { fs::create_symlink("../dotfiles/pipe", file); },
         "it is a link to '" + (config / "../dotfiles/pipe").string() +
             "', which is a FIFO, not a regular file",
         "../dotfiles/pipe"},
        {"to a folder", [&] { fs::create_symlink(dotfiles, file); },
         "it is a link to '" + dotfiles.string() + "', which is a folder, not a regular file",
         dotfiles},
        {"to itself", [&] { fs::create_symlink("settings.json", file); },
         "it is a link that leads back to itself", ""},
        {"back through another link",
         [&] {
             fs::create_symlink(file, dotfiles / "back");
             fs::create_symlink("../dotfiles/back", file);
         },
         "it is a link that leads back to itself", ""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        fs::remove_all(config);
        fs::create_directories(config);
        each.make();
        ConsoleCapture console;
        UserDefaults defaults(file);
        EXPECT_FALSE(defaults.has("delay"));
        std::vector<std::string> names = namesIn(config);
        ASSERT_EQ(names.size(), 2u);
        const fs::path aside = config / names[0];
        EXPECT_TRUE(names[0].starts_with("settings.json.corrupt_")) << names[0];
        EXPECT_EQ(names[1], "settings.json.lock");
        EXPECT_EQ(console.text(), "The settings file '" + file.string() + "' could not be read (" +
                                      each.problem + "); moved it to '" + aside.string() +
                                      "' and using the default settings\n");
        ASSERT_TRUE(fs::is_symlink(aside));
        if (!each.linkText.empty()) {
            EXPECT_EQ(fs::read_symlink(aside), each.linkText);
        }
        defaults.set("delay", 5);
        defaults.flush();
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_EQ(UserDefaults(file).integerValue("delay"), 5);
        // What it pointed to is untouched, and the aside never leads to the new file.
        struct stat status {};
        EXPECT_TRUE(::stat(aside.c_str(), &status) != 0 || !fs::equivalent(aside, file))
            << "the aside leads to the new settings";
        EXPECT_EQ(linesIn(console.text()), 1u) << console.text();
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(dotfiles));
}

TEST_F(LinkedSettings, ALinkWhoseTargetIsMissingStaysAndTheFileIsMadeThroughIt) {
    fs::create_symlink("../dotfiles/quarn-settings.json", file);
    ConsoleCapture console;
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.has("delay"));
    defaults.set("delay", 5);
    defaults.flush();
    EXPECT_EQ(console.text(), "");
    ASSERT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::read_symlink(file), "../dotfiles/quarn-settings.json");
    EXPECT_EQ(contentOf(dotfiles / "quarn-settings.json"), "{\n  \"delay\": 5\n}\n");
    EXPECT_EQ(namesIn(config), (std::vector<std::string>{"settings.json", "settings.json.lock"}));
}

TEST_F(LinkedSettings, ALinkIntoAFolderThatIsNotThereIsSaidOnceAndWrittenThroughWhenItIsBack) {
    // A dotfiles folder on a disk that is not mounted.
    const fs::path disk = config.parent_path() / "disk";
    const fs::path target = disk / "dotfiles" / "quarn-settings.json";
    fs::create_symlink(target, file);
    ConsoleCapture console;
    UserDefaults defaults(file);
    const std::string line =
        "The settings file '" + file.string() + "' is a link to '" + target.string() +
        "', whose folder '" + target.parent_path().string() +
        "' is not there; the app keeps the settings it has and saves them there once the "
        "folder is back\n";
    EXPECT_EQ(console.text(), line);
    defaults.set("delay", 5);
    defaults.flush();
    defaults.set("grid", true);
    defaults.flush();
    EXPECT_EQ(defaults.integerValue("delay"), 5);
    EXPECT_EQ(console.text(), line); // once while it lasts
    EXPECT_FALSE(fs::exists(disk));  // no folder is made in the mount's place

    // The disk is back, with the settings another machine saved there: the folder comes with
    // the file in it, as a mount does (the write of a change kept may be tried again on the
    // settings' queue at any moment, and would find a folder without the file, or the file
    // half written).
    const fs::path mounted = config.parent_path() / "mounted";
    fs::create_directories(mounted / "dotfiles");
    std::ofstream(mounted / "dotfiles" / target.filename()) << "{\"totalTime\": 6}";
    fs::rename(mounted, disk);
    defaults.set("totalTime", 30);
    defaults.flush();
    ASSERT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(contentOf(target), "{\n  \"delay\": 5,\n  \"grid\": true,\n  \"totalTime\": 30\n}\n");
    EXPECT_EQ(console.text(), line);
}

// Changes still not written when the app ends are lost: the end says which, and where they
// were to go, once however often it flushes.
TEST_F(LinkedSettings, ChangesTheAppsEndCannotWriteAreNamedWithTheFileTheyWereToGoTo) {
    const fs::path target = dotfiles / "quarn-settings.json";
    struct Case {
        std::string name;
        std::function<void()> make;          // before the store opens
        std::function<void()> failEachWrite; // while the store is open
        fs::path to;
    };
    const fs::path away = config.parent_path() / "disk" / "dotfiles" / "quarn-settings.json";
    std::optional<ScopedWriteFailure> readOnly;
    std::optional<ScopedReadFailure> unreadable;
    const std::vector<Case> cases{
        {"the links' folder is not there", [&] { fs::create_symlink(away, file); }, [] {}, away},
        {"the target is on a read-only file system",
         [&] {
             std::ofstream(target) << "{}";
             fs::create_symlink(target, file);
         },
         [&] { readOnly.emplace(WriteCall::write, EROFS); }, target},
        {"the target cannot be read now",
         [&] {
             std::ofstream(target) << "{}";
             fs::create_symlink(target, file);
             unreadable.emplace(target, EIO);
         },
         [] {}, target},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        fs::remove_all(dotfiles);
        fs::create_directories(dotfiles);
        file = config / (each.name + ".json"); // as a process of its own would have it
        each.make();
        ConsoleCapture console;
        UserDefaults defaults(file);
        each.failEachWrite();
        defaults.set("fileFormat", "RAW");
        defaults.set("totalTime", 30);
        defaults.flush();
        const std::size_t before = console.text().size();
        SharedJsonFile::flushAll();
        SharedJsonFile::flushAll(); // the app's end flushes twice
        EXPECT_EQ(console.text().substr(before),
                  "Quitting without saving the settings \"fileFormat\", \"totalTime\" to '" +
                      each.to.string() + "': these changes are lost\n");
        readOnly.reset();
        unreadable.reset();
    }
}

TEST_F(LinkedSettings, AFailedSaveNamesTheFileWrittenAtTheEndOfTheLinks) {
    const fs::path target = dotfiles / "quarn-settings.json";
    std::ofstream(target) << "{}";
    fs::create_symlink(target, file);
    UserDefaults defaults(file);
    ConsoleCapture console;
    {
        // The dotfiles on a file system mounted read-only; the link's own folder is writable.
        const ScopedWriteFailure readOnly(WriteCall::write, EROFS);
        defaults.set("delay", 5);
        defaults.flush();
    }
    EXPECT_EQ(console.text(),
              "Could not save the settings to '" + target.string() + "': Read-only file system\n");
    EXPECT_EQ(contentOf(target), "{}");
}

} // namespace
} // namespace qv::platform
