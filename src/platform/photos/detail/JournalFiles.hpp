#pragma once
// Internal: the journal files of the library's index ("library.sqlite-wal", "-shm") and their
// mode. SQLite makes them with the database file's permissions, so those made while the file
// could not be written cannot be written once it can.

#include <filesystem>
#include <functional>
#include <vector>

namespace qv::platform::detail {

// The journal files of the index in `file`, as far as they are there as regular files.
std::vector<std::filesystem::path> journalFiles(const std::filesystem::path& file);

// Whether a journal file cannot be written, and is this user's, so its mode can change.
bool ownUnwritable(const std::filesystem::path& journal);

// Gives those of this user that cannot be written the mode of the index in `file`. Each is
// opened without following a link, in the index's folder, and changed through that descriptor
// only when it is a regular file of this user with no other name: whoever can write the folder
// may put a link (or another name of one of this user's files) at a journal's name, and the
// file it leads to must keep its mode.
void giveJournalFilesTheIndexMode(const std::filesystem::path& file);

// Test seam: while one lives, giveJournalFilesTheIndexMode calls `step` with a journal's path
// between the look at it and the change of its mode, so the test can put something else at
// that name. Made and dropped by the test's thread while no index is being opened.
class ScopedJournalModeStep {
public:
    using Step = std::function<void(const std::filesystem::path& journal)>;
    explicit ScopedJournalModeStep(Step step);
    ~ScopedJournalModeStep();
    ScopedJournalModeStep(const ScopedJournalModeStep&) = delete;
    ScopedJournalModeStep& operator=(const ScopedJournalModeStep&) = delete;

private:
    Step step_;
    const Step* previous_;
};

} // namespace qv::platform::detail
