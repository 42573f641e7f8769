// Setting a bad file aside moves exactly the file that was judged, and never replaces a file
// that is already at an aside name, even with other processes setting files aside at once.

#include "platform/files/SetAside.hpp"

#include "TestHome.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace qv::platform;
namespace fs = std::filesystem;

namespace {

std::string contentOfAside(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

FileIdentity identityOf(const fs::path& file) {
    std::error_code error;
    const std::optional<FileIdentity> identity = identityAt(file, error);
    EXPECT_TRUE(identity) << error.message();
    return identity.value_or(FileIdentity{});
}

// Every file in `folder` whose name starts with `prefix`, with its content.
std::vector<std::string> contentsStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> contents;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            contents.push_back(contentOfAside(entry.path()));
        }
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

} // namespace

TEST(SetAside, MovesTheJudgedFileToAFreeNameAndKeepsEveryEarlierAside) {
    const fs::path folder = qv::testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    std::vector<fs::path> asides;
    for (int n = 0; n < 3; ++n) {
        write(file, "bad " + std::to_string(n));
        std::error_code error;
        asides.push_back(setAside(file, identityOf(file), error));
        ASSERT_FALSE(error) << error.message();
        EXPECT_FALSE(fs::exists(file));
    }
    // Within one second the three share a date and take "_2" and "_3" after the first.
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(contentOfAside(asides[n]), "bad " + std::to_string(n));
        EXPECT_TRUE(asides[n].filename().string().starts_with("settings.json.corrupt_"));
    }
}

TEST(SetAside, LeavesAFileThatReplacedTheJudgedOne) {
    const fs::path folder = qv::testing::freshTestFolder();
    const fs::path file = folder / "library.sqlite";
    write(file, "damaged");
    const FileIdentity judged = identityOf(file);
    // Another process sets the damaged file aside and makes a healthy one in its place.
    const fs::path elsewhere = folder / "moved";
    fs::rename(file, elsewhere);
    write(file, "healthy");

    std::error_code error;
    const fs::path aside = setAside(file, judged, error);
    EXPECT_EQ(error, fileReplacedSinceJudged());
    EXPECT_TRUE(aside.empty());
    EXPECT_EQ(contentOfAside(file), "healthy");
    EXPECT_EQ(contentsStartingWith(folder, "library.sqlite.corrupt"), std::vector<std::string>{});
}

TEST(SetAside, MovesALinkItselfAndNeverWhatItPointsTo) {
    const fs::path folder = qv::testing::freshTestFolder();
    const fs::path target = folder / "dotfiles-settings.json";
    write(target, "kept");
    const fs::path link = folder / "settings.json";
    fs::create_symlink(target, link);

    std::error_code error;
    const fs::path aside = setAside(link, identityOf(link), error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(fs::is_symlink(aside));
    EXPECT_EQ(fs::read_symlink(aside), target);
    EXPECT_EQ(contentOfAside(target), "kept");
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(SetAside, RenamingWithoutReplacingRefusesATakenName) {
    const fs::path folder = qv::testing::freshTestFolder();
    write(folder / "a", "a");
    write(folder / "b", "b");
    EXPECT_EQ(renameWithoutReplacing(folder / "a", folder / "b"),
              std::make_error_code(std::errc::file_exists));
    EXPECT_EQ(contentOfAside(folder / "a"), "a");
    EXPECT_EQ(contentOfAside(folder / "b"), "b");
    EXPECT_FALSE(renameWithoutReplacing(folder / "a", folder / "c"));
    EXPECT_EQ(contentOfAside(folder / "c"), "a");
}

TEST(SetAside, ProcessesRacingForOneNameLeaveItToOneAndKeepTheRest) {
    // Eight processes each rename a file of their own to the same names at once: every name
    // ends up holding exactly one of them, and every file that lost stays where it was.
    const fs::path folder = qv::testing::freshTestFolder();
    constexpr int processes = 8;
    constexpr int rounds = 40;
    for (int p = 0; p < processes; ++p) {
        for (int r = 0; r < rounds; ++r) {
            write(folder / ("own" + std::to_string(p) + "_" + std::to_string(r)),
                  std::to_string(p));
        }
    }
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int unexpected = 0;
            for (int r = 0; r < rounds; ++r) {
                const std::error_code error = renameWithoutReplacing(
                    folder / ("own" + std::to_string(p) + "_" + std::to_string(r)),
                    folder / ("slot" + std::to_string(r)));
                unexpected += error && error != std::errc::file_exists ? 1 : 0;
            }
            ::_exit(unexpected == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(contentsStartingWith(folder, "slot").size(), std::size_t{rounds});
    EXPECT_EQ(contentsStartingWith(folder, "own").size(), std::size_t{(processes - 1) * rounds});
}
