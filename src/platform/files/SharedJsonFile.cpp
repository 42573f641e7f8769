#include "platform/files/SharedJsonFile.hpp"

#include "platform/console/Console.hpp"
#include "platform/console/FailureLines.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/files/SetAside.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <algorithm>
#include <utility>
#include <variant>
#include <vector>

namespace qv::platform {

namespace {

using Description = SharedJsonFile::Description;
using Keys = std::set<std::string, std::less<>>;

// What reading the file found.
struct Missing {};
struct ProvenBad {
    std::string problem; // completes "could not be read (...)": "it is not valid JSON"
};
struct UnreadableNow {
    std::string reason; // the reader's: "cannot be read (Permission denied)"
};
using Reading = std::variant<nlohmann::json, Missing, ProvenBad, UnreadableNow>;

// Whether the text opens more than `limit` arrays or objects inside each other, counting
// brackets outside strings only; decided before the parser builds anything (the serializer
// recurses once per level, so a deeper file would overflow the stack at the next write).
bool nestedDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return true;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

Reading parse(const std::string& text, const Description& description) {
    if (nestedDeeperThan(text, description.maximumNesting)) {
        return ProvenBad{"it is nested more than " + std::to_string(description.maximumNesting) +
                         " levels deep"};
    }
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        return ProvenBad{"it is not valid JSON"};
    }
    if (!parsed.is_object()) {
        return ProvenBad{"it holds no " + description.contents + " object"};
    }
    if (description.check) {
        if (std::optional<std::string> problem = description.check(parsed)) {
            return ProvenBad{std::move(*problem)};
        }
    }
    return parsed;
}

Reading readFile(const std::filesystem::path& file, const Description& description) {
    std::string text;
    if (const std::optional<FileProblem> problem =
            readRegularFile(file, description.maximumBytes, text)) {
        switch (problem->kind) {
        case FileProblem::Kind::missing:
            return Missing{};
        case FileProblem::Kind::notRegular:
        case FileProblem::Kind::tooLarge:
            return ProvenBad{"it " + problem->reason};
        case FileProblem::Kind::unreadable:
            return UnreadableNow{problem->reason};
        }
    }
    return parse(text, description);
}

// Renames a file proven bad aside and says so.
void setAsideUnusable(const std::filesystem::path& file, const Description& description,
                      const std::string& problem) {
    const std::string opening = "The " + description.contents + " file " + quotedPath(file) +
                                " could not be read (" + problem + ")";
    std::error_code error;
    std::filesystem::path aside;
    if (const std::optional<FileIdentity> judged = identityAt(file, error)) {
        aside = setAside(file, *judged, error);
    }
    if (error) {
        // Said once while it lasts: each write tries again.
        printFailure("set aside " + file.string(), opening + " nor moved aside (" +
                                                       error.message() + "); " +
                                                       description.instead);
    } else {
        print(opening + "; moved it to " + quotedPath(aside) + " and " + description.instead);
    }
}

// Writes the changes of `keys` (their values in `values`, or their absence) into the file as
// it is now, under its lock; the whole of `values` where there is no usable file. False when
// nothing was written (said once per reason).
bool writeChanges(const std::filesystem::path& file, const Description& description,
                  const Keys& keys, const nlohmann::json& values) {
    const std::string cause = "save " + file.string();
    const std::string failed =
        "Could not save the " + description.contents + " to " + quotedPath(file) + ": ";
    if (!file.parent_path().empty()) {
        std::error_code folderError;
        ensureFolder(file.parent_path(), folderError);
        if (folderError) {
            printFailure(cause, failed + folderError.message());
            return false;
        }
    }
    const FileLock lock = lockForRewriting(file);
    Reading current = readFile(file, description);
    if (const auto* unreadable = std::get_if<UnreadableNow>(&current)) {
        // Writing now could lose what another process saved there.
        printFailure(cause,
                     failed + "it " + unreadable->reason + " now; the next change tries again");
        return false;
    }
    if (const auto* bad = std::get_if<ProvenBad>(&current)) {
        setAsideUnusable(file, description, bad->problem);
    }
    nlohmann::json merged = values;
    if (auto* onDisk = std::get_if<nlohmann::json>(&current)) {
        merged = std::move(*onDisk);
        for (const std::string& key : keys) {
            if (const auto value = values.find(key); value != values.end()) {
                merged[key] = *value;
            } else {
                merged.erase(key);
            }
        }
    }
    // Text that is not UTF-8 (a string set by the app from a file name, say) is written with
    // replacement characters instead of making the serializer throw.
    const std::string text =
        merged.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (const std::error_code error = writeFileAtomically(file, text)) {
        printFailure(cause, failed + error.message());
        return false;
    }
    failureRecovered(cause);
    reportWriteWithoutLock(lock, "The " + description.contents, file);
    return true;
}

// Every SharedJsonFile that exists, for flushAll().
struct OpenFiles {
    std::mutex mutex;
    std::vector<SharedJsonFile*> files;
};

OpenFiles& openFiles() {
    static OpenFiles open;
    return open;
}

} // namespace

SharedJsonFile::SharedJsonFile(std::filesystem::path file, Description description)
    : file_(std::move(file)), description_(std::move(description)) {
    if (!file_.empty()) {
        Reading opened = readFile(file_, description_);
        if (auto* object = std::get_if<nlohmann::json>(&opened)) {
            values_ = std::move(*object);
        } else if (const auto* bad = std::get_if<ProvenBad>(&opened)) {
            setAsideUnusable(file_, description_, bad->problem);
        } else if (const auto* unreadable = std::get_if<UnreadableNow>(&opened)) {
            unreadableAtOpening_ = unreadable->reason;
            print("The " + description_.contents + " file " + quotedPath(file_) + " " +
                  unreadable->reason + " now; " + description_.instead +
                  " for this run, and the file is left as it is to be read again at the next "
                  "start");
        }
        // Writes of this folder's files killed mid-way leave their temporary files; those
        // whose writer is gone go now.
        removeStaleTemporaryFiles(file_.parent_path());
    }
    OpenFiles& open = openFiles();
    std::lock_guard lock(open.mutex);
    open.files.push_back(this);
}

SharedJsonFile::~SharedJsonFile() {
    {
        OpenFiles& open = openFiles();
        std::lock_guard lock(open.mutex);
        open.files.erase(std::find(open.files.begin(), open.files.end(), this));
    }
    flush();
    queue_.reset(); // waits for a write under way, which finds nothing left to write
}

void SharedJsonFile::set(std::string_view key, nlohmann::json value) {
    std::lock_guard lock(mutex_);
    values_[std::string(key)] = std::move(value);
    changed(key);
}

void SharedJsonFile::erase(std::string_view key) {
    std::lock_guard lock(mutex_);
    values_.erase(std::string(key));
    changed(key);
}

void SharedJsonFile::changed(std::string_view key) {
    if (file_.empty()) {
        return;
    }
    unsaved_.emplace(key);
    if (writeQueued_) {
        return; // the queued write takes this change too
    }
    writeQueued_ = true;
    if (!queue_) {
        queue_ = std::make_unique<DispatchQueue>(description_.contents + " writes", QoS::utility);
    }
    queue_->async([this] { writePending(); });
}

void SharedJsonFile::flush() {
    if (!file_.empty()) {
        writePending();
    }
}

void SharedJsonFile::flushAll() {
    OpenFiles& open = openFiles();
    std::lock_guard lock(open.mutex);
    for (SharedJsonFile* file : open.files) {
        file->flush();
    }
}

void SharedJsonFile::writePending() {
    std::lock_guard writing(writing_);
    Keys keys;
    nlohmann::json values;
    {
        std::lock_guard lock(mutex_);
        writeQueued_ = false;
        if (unsaved_.empty()) {
            return;
        }
        keys = std::exchange(unsaved_, {});
        values = values_;
    }
    bool written = false;
    if (unreadableAtOpening_) {
        printFailure("save " + file_.string(),
                     "The " + description_.contents + " are not saved to " + quotedPath(file_) +
                         " in this run: it " + *unreadableAtOpening_ + " at the start");
    } else {
        written = writeChanges(file_, description_, keys, values);
    }
    if (!written) {
        // Kept for the next write; a change made meanwhile stays as it is.
        std::lock_guard lock(mutex_);
        unsaved_.merge(keys);
    }
}

} // namespace qv::platform
