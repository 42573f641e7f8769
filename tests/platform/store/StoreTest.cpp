#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/store/UserDefaults.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qv::platform;
namespace fs = std::filesystem;

namespace {

class StoreTest : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override {
        char pattern[] = "/tmp/qv-store-XXXXXX";
        root = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root); }

    static std::string read(const fs::path& file) {
        std::ifstream in(file);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text;
    }
};

} // namespace

TEST_F(StoreTest, ValuesAreTypedAndAnotherTypeReadsAsAbsent) {
    UserDefaults defaults(root / "settings.json");
    defaults.set("volumeShutter", true);
    defaults.set("delay", 5);
    defaults.set("totalTime", 30.0);
    defaults.set("fileFormat", "RAW");
    defaults.set("lastLaunchedVersion", std::string("1.0.0"));

    EXPECT_EQ(defaults.boolValue("volumeShutter"), true);
    EXPECT_EQ(defaults.integerValue("delay"), 5);
    EXPECT_EQ(defaults.doubleValue("totalTime"), 30.0);
    EXPECT_EQ(defaults.stringValue("fileFormat"), "RAW");
    EXPECT_EQ(defaults.stringValue("lastLaunchedVersion"), "1.0.0");

    EXPECT_EQ(defaults.boolValue("delay"), std::nullopt);
    EXPECT_EQ(defaults.doubleValue("delay"), std::nullopt);
    EXPECT_EQ(defaults.integerValue("totalTime"), std::nullopt);
    EXPECT_EQ(defaults.integerValue("volumeShutter"), std::nullopt);
    EXPECT_EQ(defaults.stringValue("missing"), std::nullopt);
    EXPECT_EQ(defaults.boolValue("missing").value_or(true), true);

    EXPECT_TRUE(defaults.has("delay"));
    defaults.remove("delay");
    EXPECT_FALSE(defaults.has("delay"));
    defaults.set("delay", "now a string");
    EXPECT_EQ(defaults.integerValue("delay"), std::nullopt);
}

TEST_F(StoreTest, SettingsSurviveASecondProcess) {
    const fs::path file = root / "config" / "settings.json";
    {
        UserDefaults defaults(file);
        defaults.set("interimIndex", 3);
        defaults.set("evOffset", -0.7);
        defaults.set("saveFAwithLT", false);
        defaults.set("gone", 1);
        defaults.remove("gone");
    }
    // Another process opens the file written by this one and adds a value.
    const pid_t child = ::fork();
    if (child == 0) {
        UserDefaults reopened(file);
        const bool ok = reopened.integerValue("interimIndex") == 3 &&
                        reopened.doubleValue("evOffset") == -0.7 &&
                        reopened.boolValue("saveFAwithLT") == false && !reopened.has("gone");
        reopened.set("fromChild", "yes");
        reopened.flush(); // _exit skips the destructor, which would write it
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    UserDefaults again(file);
    EXPECT_EQ(again.stringValue("fromChild"), "yes");
    EXPECT_EQ(again.integerValue("interimIndex"), 3);
    // No temporary files are left next to the settings, only the lock file writers share.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root / "config")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"settings.json", "settings.json.lock"}));
}

TEST_F(StoreTest, ACorruptFileIsSetAsideAndTheDefaultsApply) {
    VirtualDispatch dispatch; // the aside name carries the (virtual) date
    const fs::path file = root / "settings.json";
    write(file, "{\"delay\": 5, \"fileFormat\": \"RA");
    ConsoleCapture console;
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.has("delay"));
    EXPECT_EQ(defaults.integerValue("delay").value_or(2), 2);
    const fs::path aside = root / "settings.json.corrupt_20240101_000000";
    EXPECT_TRUE(fs::exists(aside)) << console.text();
    EXPECT_EQ(read(aside), "{\"delay\": 5, \"fileFormat\": \"RA");
    EXPECT_EQ(console.text(), "The settings file '" + file.string() +
                                  "' could not be read (it is not valid JSON); moved it to '" +
                                  aside.string() + "' and using the default settings\n");
    defaults.set("delay", 10);
    dispatch.runUntilIdle(); // the store's writes queue
    EXPECT_EQ(UserDefaults(file).integerValue("delay"), 10);

    // A second corrupt file in the same second keeps the first one set aside.
    write(file, "{\"delay\": ");
    EXPECT_FALSE(UserDefaults(file).has("delay"));
    EXPECT_EQ(read(aside), "{\"delay\": 5, \"fileFormat\": \"RA");
    EXPECT_EQ(read(root / "settings.json.corrupt_20240101_000000_2"), "{\"delay\": ");
}

TEST_F(StoreTest, AFileDamagedWhileTheAppRunsIsSetAsideAndTheAppKeepsItsSettings) {
    VirtualDispatch dispatch;
    const fs::path file = root / "settings.json";
    write(file, "{\"fileFormat\": \"TIFF\", \"totalTime\": 6}");
    UserDefaults defaults(file);
    write(file, "{\"fileFormat\": \"TI"); // another program damages it
    ConsoleCapture console;
    defaults.set("delay", 3);
    dispatch.runUntilIdle();
    const fs::path aside = root / "settings.json.corrupt_20240101_000000";
    EXPECT_EQ(read(aside), "{\"fileFormat\": \"TI");
    EXPECT_EQ(console.text(), "The settings file '" + file.string() +
                                  "' could not be read (it is not valid JSON); moved it to '" +
                                  aside.string() + "'; the app keeps the settings it has\n");
    EXPECT_EQ(defaults.stringValue("fileFormat"), "TIFF");
    const UserDefaults next(file);
    EXPECT_EQ(next.stringValue("fileFormat"), "TIFF");
    EXPECT_EQ(next.integerValue("totalTime"), 6);
    EXPECT_EQ(next.integerValue("delay"), 3);
}

TEST_F(StoreTest, AFileWithoutASettingsObjectIsSetAsideToo) {
    const fs::path file = root / "settings.json";
    write(file, "[1, 2, 3]");
    ConsoleCapture console;
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.has("1"));
    EXPECT_NE(console.text().find("it holds no settings object"), std::string::npos);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(StoreTest, FilesTooDeepOrTooLargeAreSetAsideAtOnceAndWritesWorkAfterwards) {
    const fs::path file = root / "settings.json";
    const std::string deep = "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
    const std::string large = "{\"s\":\"" + std::string(2 << 20, 'x') + "\"}";
    for (const auto& [text, problem] : {std::pair{deep, "it is nested more than 32 levels deep"},
                                        std::pair{large, "it is larger than 1 MB"}}) {
        SCOPED_TRACE(problem);
        fs::remove_all(root);
        fs::create_directories(root);
        write(file, text);
        ConsoleCapture console;
        UserDefaults defaults(file);
        EXPECT_NE(console.text().find(problem), std::string::npos) << console.text();
        EXPECT_FALSE(fs::exists(file));
        // The next write makes a fresh file instead of rewriting the refused one.
        defaults.set("delay", 5);
        defaults.flush();
        EXPECT_EQ(read(file), "{\n  \"delay\": 5\n}\n");
    }
}

TEST_F(StoreTest, BracketsInsideStringsDoNotCountAsNesting) {
    const fs::path file = root / "settings.json";
    const std::string brackets(100, '[');
    write(file, "{\"note\": \"" + brackets + "\\\"{\", \"delay\": 3}");
    EXPECT_EQ(UserDefaults(file).integerValue("delay"), 3);
    EXPECT_EQ(UserDefaults(file).stringValue("note"), brackets + "\"{");
}

TEST_F(StoreTest, AWholeNumberBeyondSixtyFourBitsIsNoInteger) {
    const fs::path file = root / "settings.json";
    write(file, "{\"big\": 18446744073709551615, \"max\": 9223372036854775807}");
    const UserDefaults defaults(file);
    EXPECT_EQ(defaults.integerValue("big"), std::nullopt);
    EXPECT_TRUE(defaults.has("big"));
    EXPECT_EQ(defaults.integerValue("max"), std::numeric_limits<std::int64_t>::max());
}

TEST_F(StoreTest, TextThatIsNotUtf8IsWrittenWithReplacementCharacters) {
    const fs::path file = root / "settings.json";
    UserDefaults defaults(file);
    defaults.set("folder", std::string("caf\xe9"));
    defaults.flush();
    EXPECT_EQ(UserDefaults(file).stringValue("folder"), "caf\xef\xbf\xbd");
}

TEST_F(StoreTest, AFailedWriteIsReportedAndTheValueHoldsForThisRun) {
    write(root / "blocker", "a file where the settings folder should be");
    ConsoleCapture console;
    UserDefaults defaults(root / "blocker" / "settings.json");
    defaults.set("delay", 5);
    EXPECT_EQ(defaults.integerValue("delay"), 5);
    defaults.flush();
    EXPECT_NE(console.text().find("Could not save the settings to"), std::string::npos);
}

TEST_F(StoreTest, WritesFromManyThreadsAllReachTheFile) {
    const fs::path file = root / "settings.json";
    {
        UserDefaults defaults(file);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 20; ++i) {
                    defaults.set("key" + std::to_string(t) + "_" + std::to_string(i), i);
                    (void)defaults.integerValue("key0_0");
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    UserDefaults reopened(file);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(reopened.integerValue("key" + std::to_string(t) + "_19"), 19);
    }
}

TEST_F(StoreTest, StandardStoreCanBeReplacedInTests) {
    StandardDefaultsOverride override(UserDefaults::inMemory());
    UserDefaults::standard().set("delay", 2);
    EXPECT_EQ(override.store().integerValue("delay"), 2);
    EXPECT_TRUE(override.store().file().empty());
}

TEST_F(StoreTest, AtomicWritesReplaceOrRefuseWhole) {
    const fs::path file = root / "QV_20240101_000000.TIF";
    EXPECT_FALSE(writeFileAtomically(file, "first"));
    EXPECT_EQ(writeFileAtomically(file, "second", false), std::errc::file_exists);
    EXPECT_EQ(read(file), "first");
    EXPECT_FALSE(writeFileAtomically(file, "third"));
    EXPECT_EQ(read(file), "third");
    EXPECT_TRUE(writeFileAtomically(root / "missing" / "x", "data"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
}

TEST_F(StoreTest, AFullDiskLeavesTheOldFileAndNoTemporaryFile) {
    const fs::path file = root / "settings.json";
    ASSERT_FALSE(writeFileAtomically(file, "old"));
    {
        ScopedDiskFull full;
        EXPECT_EQ(writeFileAtomically(file, "new"), std::errc::no_space_on_device);
        EXPECT_EQ(writeFileAtomically(root / "other", "new", false), std::errc::no_space_on_device);
    }
    EXPECT_EQ(read(file), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
    EXPECT_FALSE(writeFileAtomically(file, "new"));
    EXPECT_EQ(read(file), "new");
}
