#include "platform/photos/detail/IndexAgreement.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <fcntl.h>
#include <unistd.h>

namespace qv::platform::detail {

namespace {

using Locking = SqliteDatabase::Locking;
using Place = IndexUsers::User::Place;

IndexUsers::Way wayOf(Locking locking) {
    return locking == Locking::lockFolder ? IndexUsers::Way::lockFolder : IndexUsers::Way::wal;
}

std::string withRemedy(const std::string& text, const std::string& remedy) {
    return remedy.empty() ? text : text + "; " + remedy;
}

// A lock-folder user in a line: what it does, and what to remove once it no longer does (none
// for a process of this machine, whose record goes when it ends).
struct FolderUserText {
    std::string clause;
    std::string remedy;
};

FolderUserText folderUserText(const IndexUsers::User& user) {
    const std::string record = quotedPath(user.record);
    switch (user.place) {
    case Place::here:
        return {user.who + " locks it with a folder", {}};
    case Place::sandbox:
    case Place::elsewhere:
        return {user.who + " may lock it with a folder",
                std::string("once that ") + (user.place == Place::sandbox ? "sandbox" : "machine") +
                    " no longer uses the library, remove its record " + record};
    case Place::unknown:
        break;
    }
    return {record + " among its users, which names no process, may be the record of one that "
                     "locks it with a folder",
            "remove it if no program without locks uses the library"};
}

// Why an opening that locks with lock folders (`found` being the way its probe found) cannot
// use the index beside `others`; empty when it can.
std::string refusalBeside(const IndexUsers& users, const IndexUsers::Others& others,
                          const std::filesystem::path& file, Locking found) {
    const bool withoutRecordLocks = found == Locking::lockFolder;
    std::string walSide;
    if (others.walUser) {
        const std::string who = others.walUser->who.empty() ? "a program that names itself nowhere"
                                                            : others.walUser->who;
        if (withoutRecordLocks) {
            return "it is in use by " + who +
                   ", which locks it with record locks this process cannot see; if that process "
                   "no longer runs, remove " +
                   quotedPath(others.walUser->record);
        }
        walSide = "it is in use by " + who + ", which locks it with record locks";
    } else if (users.walFileThere() && !others.walLeftBehind) {
        std::filesystem::path wal = file;
        wal += "-wal";
        walSide = "its WAL file " + quotedPath(wal) +
                  " may be in use by a program that locks it with record locks";
        if (withoutRecordLocks) {
            return walSide + ", which this process cannot see (opening the library once where "
                             "locks work brings it in)";
        }
    } else {
        return {};
    }
    // With record locks, it locks with folders only because of a lock-folder user.
    const FolderUserText folderUser = folderUserText(*others.folderUser);
    return withRemedy(walSide + ", while " + folderUser.clause +
                          "; this process cannot lock it both ways at once",
                      folderUser.remedy);
}

bool folderWritable(const std::filesystem::path& file) {
    return ::faccessat(AT_FDCWD, file.parent_path().c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace

Agreement agreeWithOtherUsers(IndexUsers& users, const std::filesystem::path& file, Locking found) {
    Agreement agreement{found, {}, {}, {}};
    const std::string usersFolder = quotedPath(users.path());
    if (const std::error_code notRecorded = users.enter(wayOf(found))) {
        const std::string what = users.whatIsThere();
        if (found == Locking::recordLocks) {
            if (!what.empty()) {
                agreement.notices.push_back(
                    {SharingNotice::Kind::notRecorded,
                     "The photo library's users folder " + usersFolder + " is " + what +
                         ", not a folder, so the library uses its index without recording "
                         "itself there, and processes without locks cannot use the index "
                         "meanwhile; remove or rename it"});
            }
        } else if (!what.empty()) {
            agreement.refusal = usersFolder + " is " + what +
                                ", not a folder, so this process cannot record itself among the "
                                "index's users, as it must without locks";
            agreement.remedy = "remove or rename it";
            return agreement;
        } else if (folderWritable(file)) {
            agreement.refusal = "this process cannot record itself among the index's users in " +
                                usersFolder + " (" + notRecorded.message() +
                                "), as it must without locks";
            return agreement;
        }
    }
    const IndexUsers::Others others = users.look();
    if (found == Locking::recordLocks && others.folderUser) {
        agreement.locking = Locking::lockFolder;
        users.enter(wayOf(agreement.locking));
        const FolderUserText folderUser = folderUserText(*others.folderUser);
        agreement.notices.push_back(
            {SharingNotice::Kind::lockedWithFolder,
             "The photo library's index " + quotedPath(file) +
                 " is locked with a folder beside it instead of record locks while " +
                 withRemedy(folderUser.clause, folderUser.remedy)});
    }
    if (agreement.locking == Locking::lockFolder) {
        agreement.refusal = refusalBeside(users, others, file, found);
        if (!agreement.refusal.empty()) {
            agreement.notices.clear(); // the refusal says it all
            users.leave();
        }
    }
    return agreement;
}

} // namespace qv::platform::detail
