// A write is whole or not there: a close that fails fails the write before the rename, and a
// folder that cannot be synced after the rename is reported apart, the file being in place.

#include "platform/files/AtomicFile.hpp"

#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;
using testing::namesIn;

TEST(AtomicFile, AFailedCloseFailsTheWriteAndLeavesTheOldFile) {
    const fs::path folder = testing::freshTestFolder();
    const fs::path file = folder / "settings.json";
    ASSERT_FALSE(writeFileAtomically(file, "old"));
    {
        // As a network file system that reports the failed write only at close.
        const ScopedWriteFailure closing(WriteCall::close, EIO);
        EXPECT_EQ(writeFileAtomically(file, "new"), std::errc::io_error);
        EXPECT_EQ(writeFileAtomically(folder / "QV_1.TIF", "picture", false), std::errc::io_error);
    }
    EXPECT_EQ(contentOf(file), "old");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"settings.json"});
}

TEST(AtomicFile, AFolderThatCannotBeSyncedIsSaidOnceAndTheFileIsInPlace) {
    const fs::path folder = testing::freshRunFolder();
    const fs::path file = folder / "settings.json";
    const std::string line = quotedPath(file) + " was written, but its folder " +
                             quotedPath(folder) +
                             " could not be synced (Input/output error): a crash or power loss "
                             "may still undo the change\n";
    ConsoleCapture console;
    std::error_code notSynced;
    {
        const ScopedWriteFailure syncing(WriteCall::folderSync, EIO);
        for (const std::string text : {"first", "second"}) {
            EXPECT_FALSE(writeFileAtomically(file, text, true, &notSynced));
            EXPECT_EQ(notSynced, std::errc::io_error);
            EXPECT_EQ(contentOf(file), text); // in place: no caller writes it again elsewhere
        }
        EXPECT_EQ(console.text(), line); // once while it lasts
    }
    EXPECT_FALSE(writeFileAtomically(file, "third", true, &notSynced));
    EXPECT_FALSE(notSynced);
    const ScopedWriteFailure syncing(WriteCall::folderSync, EIO);
    EXPECT_FALSE(writeFileAtomically(file, "fourth"));
    EXPECT_EQ(console.text(), line + line); // said again after a sync that worked
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"settings.json"});
}

} // namespace
} // namespace qv::platform
