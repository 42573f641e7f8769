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
#include "platform/files/detail/SharedFileReading.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <algorithm>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace qv::platform {

namespace {

using Description = SharedJsonFile::Description;
using Keys = std::set<std::string, std::less<>>;

using detail::MissingFile;
using detail::ProvenBad;
using detail::UnreadableFile;

// What reading the file found, and where its content is.
struct Reading {
    std::variant<nlohmann::json, MissingFile, ProvenBad, UnreadableFile> found;
    // Where the content is read and written: the file, or the file its links end at.
    std::filesystem::path content;
};

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

// The object in `text`, or what is wrong with it.
std::variant<nlohmann::json, std::string> parse(const std::string& text,
                                                const Description& description) {
    if (nestedDeeperThan(text, description.maximumNesting)) {
        return "it is nested more than " + std::to_string(description.maximumNesting) +
               " levels deep";
    }
    nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        return std::string("it is not valid JSON");
    }
    if (!parsed.is_object()) {
        return "it holds no " + description.contents + " object";
    }
    if (description.check) {
        if (std::optional<std::string> problem = description.check(parsed)) {
            return std::move(*problem);
        }
    }
    return parsed;
}

// Reads the file, through its links to the file they end at, and judges it.
Reading readFile(const std::filesystem::path& file, const Description& description) {
    detail::SharedFileReading read = detail::readSharedFile(file, description.maximumBytes);
    Reading reading{MissingFile{}, read.content};
    std::visit(
        [&](auto& found) {
            if constexpr (std::is_same_v<std::decay_t<decltype(found)>, detail::FileBytes>) {
                auto parsed = parse(found.bytes, description);
                if (auto* problem = std::get_if<std::string>(&parsed)) {
                    reading.found = ProvenBad{std::move(*problem), read.content, found.identity};
                } else {
                    reading.found = std::move(std::get<nlohmann::json>(parsed));
                }
            } else {
                reading.found = std::move(found);
            }
        },
        read.found);
    return reading;
}

// When a file proven bad is set aside: at opening the object starts empty; during the run
// the app keeps what it holds and writes it to a new file.
enum class Moment { opening, write };

// Renames a file proven bad aside and says so; false when it stays where it is.
bool setAsideUnusable(const std::filesystem::path& file, const Description& description,
                      const ProvenBad& bad, Moment moment) {
    std::string subject = quotedPath(bad.judged);
    if (bad.judged != file) {
        subject += " (linked from " + quotedPath(file) + ")";
    }
    const std::string opening = "The " + description.contents + " file " + subject +
                                " could not be read (" + bad.problem + ")";
    const std::string kept = "the app keeps the " + description.contents + " it has";
    std::error_code error;
    const std::filesystem::path aside = bad.loopsBack
                                            ? setAsideLinkLoop(bad.judged, bad.identity, error)
                                            : setAside(bad.judged, bad.identity, error);
    const std::string cause = "set aside " + bad.judged.string();
    if (error) {
        // Said once while it lasts; the file stays, and nothing is written over it.
        const std::string instead =
            moment == Moment::opening
                ? description.instead
                : kept + " and saves nothing over it" +
                      (isLastingError(error) ? "" : "; the next change tries again");
        printFailure(cause, opening + " nor moved aside (" + error.message() + "); " + instead);
        return false;
    }
    failureRecovered(cause);
    print(opening + "; moved it to " + quotedPath(aside) +
          (moment == Moment::opening ? " and " + description.instead : "; " + kept));
    return true;
}

// What every line about saving `file` is said under, so that each is said once while it lasts.
std::string saveCause(const std::filesystem::path& file) {
    return "save " + file.string();
}

// "Could not save the settings to '<written>': ", naming the file actually written: the
// target of the links when the file is kept as one.
std::string couldNotSave(const Description& description, const std::filesystem::path& written) {
    return "Could not save the " + description.contents + " to " + quotedPath(written) + ": ";
}

// Says, once while it lasts (at opening and at each write), that `file`'s links lead into a
// folder that is not there, so the file they lead to cannot be made now.
void reportAbsentFolder(const std::filesystem::path& file, const Description& description,
                        const Reading& reading, const std::filesystem::path& folder) {
    printFailure(saveCause(file), "The " + description.contents + " file " + quotedPath(file) +
                                      " is a link to " + quotedPath(reading.content) +
                                      ", whose folder " + quotedPath(folder) +
                                      " is not there; the app keeps the " + description.contents +
                                      " it has and saves them there once the folder is back");
}

// The folder the file is to be made in when it is not there, else nothing.
const std::filesystem::path* absentFolderOf(const Reading& reading) {
    const auto* missing = std::get_if<MissingFile>(&reading.found);
    return missing != nullptr && !missing->absentFolder.empty() ? &missing->absentFolder : nullptr;
}

// Writes the changes of `keys` (their values in `values`, or their absence) into the file as
// it is now, under its lock; the whole of `values` where there is no usable file. False when
// nothing was written (said once per reason). `destination` is set to the file the changes go
// to, or were to go to: the links' target when the file is kept as a link.
bool writeChanges(const std::filesystem::path& file, const Description& description,
                  const Keys& keys, const nlohmann::json& values,
                  std::filesystem::path& destination) {
    const std::string cause = saveCause(file);
    destination = file;
    if (!file.parent_path().empty()) {
        std::error_code folderError;
        ensureFolder(file.parent_path(), folderError);
        if (folderError) {
            printFailure(cause, couldNotSave(description, file) + folderError.message());
            return false;
        }
    }
    const FileLock lock = lockForRewriting(file);
    Reading current = readFile(file, description);
    destination = current.content;
    if (const auto* unreadable = std::get_if<UnreadableFile>(&current.found)) {
        // Writing now could lose what another process saved there.
        printFailure(cause, couldNotSave(description, file) + "it " + unreadable->reason +
                                (unreadable->lasting ? "" : " now; the next change tries again"));
        return false;
    }
    if (const std::filesystem::path* folder = absentFolderOf(current)) {
        // The folder is never made here: it is most likely a disk that is not mounted.
        reportAbsentFolder(file, description, current, *folder);
        return false;
    }
    if (const auto* bad = std::get_if<ProvenBad>(&current.found)) {
        destination = bad->judged; // a new file in place of the link, or a new target
        if (!setAsideUnusable(file, description, *bad, Moment::write)) {
            return false;
        }
    }
    nlohmann::json merged = values;
    if (auto* onDisk = std::get_if<nlohmann::json>(&current.found)) {
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
    if (const std::error_code error = writeFileAtomically(destination, text)) {
        printFailure(cause, couldNotSave(description, destination) + error.message());
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
        open();
    }
    OpenFiles& open = openFiles();
    std::lock_guard lock(open.mutex);
    open.files.push_back(this);
}

void SharedJsonFile::open() {
    Reading opened = readFile(file_, description_);
    if (std::holds_alternative<ProvenBad>(opened.found)) {
        // Judged again under the lock every writer takes, so that what is set aside is the
        // file judged, never one another process has just written in its place.
        const FileLock lock = lockForRewriting(file_);
        opened = readFile(file_, description_);
        const auto* bad = std::get_if<ProvenBad>(&opened.found);
        if (bad != nullptr && setAsideUnusable(file_, description_, *bad, Moment::opening) &&
            bad->judged != file_) {
            // The target of the file's links went aside: an empty object in its place keeps
            // the links leading to a file.
            writeFileAtomically(bad->judged, "{}\n");
        }
    }
    destination_ = opened.content;
    if (auto* object = std::get_if<nlohmann::json>(&opened.found)) {
        values_ = std::move(*object);
    } else if (const auto* unreadable = std::get_if<UnreadableFile>(&opened.found)) {
        unreadableAtOpening_ = unreadable->reason;
        const std::string opening = "The " + description_.contents + " file " + quotedPath(file_) +
                                    " " + unreadable->reason;
        print(unreadable->lasting
                  ? opening + "; " + description_.instead + ", and no change is saved to it"
                  : opening + " now; " + description_.instead +
                        " for this run, and the file is left as it is to be read again at the "
                        "next start");
    } else if (const std::filesystem::path* folder = absentFolderOf(opened)) {
        reportAbsentFolder(file_, description_, opened, *folder);
    }
    // Writes of this folder's files killed mid-way leave their temporary files; those whose
    // writer is gone go now, and so do the leftovers of the file's links' target.
    removeStaleTemporaryFiles(file_.parent_path());
    if (opened.content.parent_path() != file_.parent_path()) {
        removeStaleTemporaryFilesOf(opened.content);
    }
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
        file->reportUnsaved();
    }
}

void SharedJsonFile::reportUnsaved() const {
    std::string keys;
    std::filesystem::path destination;
    {
        std::lock_guard lock(mutex_);
        for (const std::string& key : unsaved_) {
            keys += (keys.empty() ? "\"" : ", \"") + key + "\"";
        }
        destination = destination_;
    }
    if (!keys.empty()) {
        // Said under a cause of its own, so that the app's two flushes at its end say it once.
        printFailure("quit " + file_.string(),
                     "Quitting without saving the " + description_.contents + " " + keys + " to " +
                         quotedPath(destination) + ": these changes are lost");
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
    std::filesystem::path destination;
    if (unreadableAtOpening_) {
        printFailure(saveCause(file_), "The " + description_.contents + " are not saved to " +
                                           quotedPath(file_) + " in this run: it " +
                                           *unreadableAtOpening_ + " at the start");
    } else {
        written = writeChanges(file_, description_, keys, values, destination);
    }
    std::lock_guard lock(mutex_);
    if (!destination.empty()) {
        destination_ = std::move(destination);
    }
    if (!written) {
        // Kept for the next write; a change made meanwhile stays as it is.
        unsaved_.merge(keys);
    }
}

} // namespace qv::platform
