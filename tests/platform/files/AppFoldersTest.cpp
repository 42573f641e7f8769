// Where the app keeps its files: from QV_HOME, the XDG variables or the home folder, made on
// demand; a home comes from the password database when HOME is unset, and a relative base
// folder is ignored rather than followed from the working folder.

#include "platform/files/AppFolders.hpp"

#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"

#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::EnvironmentOverride;

// The folders for exactly these variables (every other one unset).
AppFolders foldersFor(const std::map<std::string, std::string>& variables) {
    return AppFolders::fromVariables([&variables](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found != variables.end() ? std::optional(found->second) : std::nullopt;
    });
}

TEST(AppFolders, FollowTheEnvironmentAndAreMadeOnDemand) {
    const fs::path root = testing::freshTestFolder();
    const AppFolders folders = AppFolders::under(root / "home");
    EXPECT_EQ(folders.documents, root / "home" / "Documents");
    EXPECT_FALSE(fs::exists(folders.documents));
    EXPECT_EQ(folders.documentsFolder(), root / "home" / "Documents");
    EXPECT_TRUE(fs::is_directory(folders.documents));
    EXPECT_TRUE(fs::is_directory(folders.photosFolder()));
    EXPECT_EQ(folders.cloudDocumentsFolder(), std::nullopt);

    EnvironmentOverride noHome("QV_HOME", std::nullopt);
    EnvironmentOverride config("XDG_CONFIG_HOME", (root / "cfg").string());
    EnvironmentOverride data("XDG_DATA_HOME", (root / "data").string());
    EnvironmentOverride cloud("QV_CLOUD_CONTAINER", (root / "cloud").string());
    const AppFolders xdg = AppFolders::fromEnvironment();
    EXPECT_EQ(xdg.config, root / "cfg" / "quarn-vesil");
    EXPECT_EQ(xdg.documents, root / "data" / "quarn-vesil" / "Documents");
    EXPECT_EQ(xdg.photos, root / "data" / "quarn-vesil" / "Photos");
    EXPECT_EQ(xdg.cloudDocumentsFolder(), root / "cloud" / "Documents");
    EnvironmentOverride home("QV_HOME", (root / "qv").string());
    EXPECT_EQ(AppFolders::fromEnvironment().photos, root / "qv" / "Photos");
    EXPECT_EQ(AppFolders::fromEnvironment().config, root / "qv");
}

TEST(AppFolders, WithoutHomeTheUsersHomeComesFromThePasswordDatabase) {
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    const fs::path home = user->pw_dir;
    ASSERT_NE(home, "/tmp");
    const AppFolders folders = foldersFor({});
    EXPECT_EQ(folders.config, home / ".config" / "quarn-vesil");
    EXPECT_EQ(folders.photos, home / ".local" / "share" / "quarn-vesil" / "Photos");

    // The same through the process's own environment.
    EnvironmentOverride noQvHome("QV_HOME", std::nullopt);
    EnvironmentOverride noHome("HOME", std::nullopt);
    EnvironmentOverride noConfig("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(AppFolders::fromEnvironment().config, home / ".config" / "quarn-vesil");
}

TEST(AppFolders, ARelativeBaseFolderIsIgnoredWithOneLine) {
    ConsoleCapture console;
    for (int i = 0; i < 3; ++i) {
        const AppFolders folders = foldersFor(
            {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_DATA_HOME", "./data"}});
        EXPECT_EQ(folders.config, "/home/ann/.config/quarn-vesil");
        EXPECT_EQ(folders.documents, "/home/ann/.local/share/quarn-vesil/Documents");
    }
    EXPECT_EQ(console.text(), "XDG_CONFIG_HOME is ignored: 'cfg' is not an absolute path\n"
                              "XDG_DATA_HOME is ignored: './data' is not an absolute path\n");

    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(foldersFor({{"HOME", "relative/home"}}).config,
              fs::path(user->pw_dir) / ".config" / "quarn-vesil");
}

} // namespace
} // namespace qv::platform
