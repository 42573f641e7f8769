#include "platform/photos/PhotoLibrary.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/PoolTasks.hpp"
#include "platform/dispatch/ProcessorBudget.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"
#include "platform/photos/detail/AssetContents.hpp"
#include "platform/photos/detail/LibraryFiles.hpp"
#include "platform/photos/detail/LibraryIndex.hpp"
#include "platform/photos/detail/LooseFile.hpp"
#include "platform/photos/detail/PictureFile.hpp"
#include "platform/photos/detail/RecordLocks.hpp"
#include "platform/photos/detail/Uuid.hpp"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace qv::platform {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Files a lane reads before it hands them to the queue: few enough that a stop loses little
// reading and rows come in soon. The queue adds all the rows waiting in one transaction, so
// commits stay few however many lanes there are (a save waits for at most one of them).
constexpr std::size_t kAdoptionBatch = 32;

// How long after a try that found the index busy (or unreadable now) the next one comes; also
// how often a folder that could not be read is looked at again.
constexpr Seconds kTryAgainAfter{5};

std::string_view asText(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The photo library's permission, unless the fault switch denies it.
PermissionStatus accessStatus(Permissions& permissions) {
    return ScopedPhotoLibraryFaults::current().accessDenied
               ? PermissionStatus::denied
               : permissions.status(PermissionService::photos);
}

// "1 file", "2 files".
std::string counted(int count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The files without a row that one opening found, taken in by lanes of pool tasks: a lane
// reads a batch of files (their tags, not their pixels), leaves it for the library's queue
// and goes on to the next batch as a new pool task (so other pool work runs in between).
// The queue adds all the rows it finds waiting in one transaction, so a lane never waits
// for the disk, and a slow flush gathers more rows into the next.
struct Adoption {
    Adoption(std::vector<std::filesystem::path> loose, std::size_t laneCount)
        : files(std::move(loose)), lanes(laneCount) {}

    const std::vector<std::filesystem::path> files;
    const std::size_t lanes;
    std::atomic<std::size_t> next{0};    // the next file a lane takes
    std::atomic<bool> halted{false};     // the index refused rows: the rest waits for a later try
    std::mutex mutex;                    // guards the two below, between lanes and the queue
    std::vector<detail::LooseFile> read; // read by the lanes, not yet on the queue
    std::size_t lanesEnded = 0;
    int adopted = 0;     // on the queue only, as the two below
    std::string refusal; // why the index refused rows
    detail::SqliteFault refusalFault = detail::SqliteFault::none;
};

} // namespace

struct PhotoLibrary::State {
    std::filesystem::path folder;
    Permissions& permissions;
    std::chrono::milliseconds busyWait;
    std::atomic<bool> stopping{false}; // the library is ending: work under way stops soon
    // The index's statements end soon: set with `stopping`, and cleared for the last look at the
    // index's path (close()), which nothing else runs beside.
    std::atomic<bool> interrupted{false};

    // On the queue only:
    std::unique_ptr<detail::LibraryIndex> index;
    std::string unavailable;      // why there is no index now
    std::string remedy;           // what to change, when no later try gets past why
    std::set<std::string> hidden; // rows of a read-only index whose file is gone
    // Rows of an index deleted or replaced at its path whose file is still there, for the
    // next index that can be written.
    std::vector<Asset> carriedRows;
    std::shared_ptr<Adoption> adoption; // the one under way
    bool opened = false;                // the opening is over (the files taken in, or none)
    // The index, or rows for files without one, wait for a later try: the index was busy or
    // could not be read now. Said once while it lasts; tried again on the timer and after a
    // change.
    bool waitingForIndex = false;
    bool tryScheduled = false; // that try is on the timer
    CancelToken nextTry;
    // Year and month folders the last look could not read (their rows kept as they were), and
    // the rows in those that can be read again, for observers to show anew.
    std::set<std::filesystem::path> unreadableFolders;
    std::set<std::string> changedRows;
    bool lookScheduled = false;     // a look at those folders is on the timer
    bool writeTryScheduled = false; // a look at whether a read-only index can be written, too
    bool saidNoRecordLocks = false; // the line on a file system without locks, said once
    // Lines on how the index is shared with other processes, each kind said once.
    std::set<detail::SharingNotice::Kind> saidSharing;
    std::vector<std::function<void()>> openedHandlers;

    mutable std::mutex mutex; // guards the fields below: read anywhere, written on the queue
    std::vector<Asset> snapshot;
    std::vector<std::weak_ptr<PhotoLibraryChangeObserver>> observers;

    // Whether folders could not be read at the last look (a fetch, on any thread, then has them
    // looked at again), and whether that look is queued already.
    std::atomic<bool> foldersToLookAt{false};
    std::atomic<bool> lookQueued{false};

    std::mutex poolMutex; // guards poolClosed, and giving `tasks` work, against close()
    bool poolClosed = false;

    DispatchQueue queue{"photo library", QoS::utility};
    // Last: ends first, while the queue still takes what its tasks hand over.
    std::unique_ptr<PoolTasks> tasks = std::make_unique<PoolTasks>();

    State(std::filesystem::path f, Permissions& p, std::chrono::milliseconds wait)
        : folder(std::move(f)), permissions(p), busyWait(wait) {}

    void open();
    bool openIndex();
    void keepCarriedRows(bool lastChance);
    void sayNoRecordLocks(const std::optional<std::error_code>& why);
    void saySharing(const std::vector<detail::SharingNotice>& notices);
    std::optional<std::string> readyToWrite();
    std::string notAvailable() const;
    bool followIndexOnDisk();
    void carryRowsStillOnDisk(bool atTheEnd);
    void keepRowsAtTheEnd();
    void reopen();
    bool reopenIfWritable();
    void tryWritingLater();
    void notAvailableNow(const std::string& why);
    void tryAgain();
    void tryAgainAfterChange();
    void settle();
    void lookAgainAtFolders();
    void lookAgainLater();
    // What the rows whose file is proven gone become: the opening (also one tried again)
    // drops them; a look during the session keeps them for the next opening to decide, since
    // a folder seen again then may have been made anew (by a copy of this library) while the
    // one that held their files is still elsewhere.
    enum class GoneRows { drop, keep };
    void makeRowsAgreeWithFiles(GoneRows gone = GoneRows::drop);
    void noteUnreadableFolders(const std::vector<Asset>& rows,
                               const detail::RowsAgainstFiles& checked);
    void startAdoption(std::vector<std::filesystem::path> loose);
    void readOnPool(const std::shared_ptr<Adoption>& work);
    void readBatch(const std::shared_ptr<Adoption>& work);
    void addWaitingRows(const std::shared_ptr<Adoption>& work);
    bool addRows(Adoption& work, const std::vector<detail::LooseFile>& batch);
    void finishOpening();
    std::optional<std::string> create(const std::filesystem::path& source);
    std::optional<std::string> addRowBeforeNaming(const std::filesystem::path& source,
                                                  const std::function<bool()>& addRow);
    std::string refusedRow(const std::filesystem::path& source);
    bool locksStopped();
    std::string cannotUse() const;
    std::string indexPath() const;
    void sayReadOnly() const;
    std::string readOnlyRefusal() const;
    void publish();
    void refreshSnapshot();
    void tellObservers();
};

// Opens the index, shows its rows, and takes the files without a row in behind (on the pool).
void PhotoLibrary::State::open() {
    if (openIndex()) {
        sayReadOnly();
    } else if (!remedy.empty() && !stopping.load()) {
        print(cannotUse());
    }
    publish();
    if (!adoption) {
        finishOpening();
    }
}

// Opens the index and starts making it agree with the files; false (with why in
// `unavailable`, and what to change in `remedy` for a cause no later try gets past) when
// there is none now. A cause a later try may get past is said and tried again. Rows carried
// from an index this one follows go in first.
bool PhotoLibrary::State::openIndex() {
    detail::LibraryIndex::Opening opening =
        detail::LibraryIndex::open(folder, busyWait, &interrupted);
    sayNoRecordLocks(opening.withoutRecordLocks);
    saySharing(opening.notices);
    index = std::move(opening.index);
    unavailable = index ? std::string() : std::move(opening.problem);
    remedy = index ? std::string() : std::move(opening.remedy);
    if (index) {
        keepCarriedRows(false);
        makeRowsAgreeWithFiles();
        refreshSnapshot();
        tryWritingLater();
    } else if (remedy.empty() && !stopping.load()) {
        notAvailableNow(unavailable);
    }
    return index != nullptr;
}

// Rows carried from an index this one follows go into it (where it has none for their identifier
// or file), so their files keep their original names rather than being taken in without. An
// index that cannot be written now, or none, leaves them for a later one, unless this is the
// `lastChance` (the library's end): one line then says they are lost, as when they could not
// be added.
void PhotoLibrary::State::keepCarriedRows(bool lastChance) {
    if (carriedRows.empty()) {
        return;
    }
    const bool writable = index && index->readOnlyReason().empty();
    if (!writable && !lastChance) {
        return;
    }
    const std::string why = !index                          ? unavailable
                            : !writable                     ? index->readOnlyReason()
                            : index->insertAll(carriedRows) ? std::string()
                                                            : index->lastError();
    if (!why.empty()) {
        print("The photo library could not keep what it knew of " +
              counted(int(carriedRows.size()), "picture") + " in its index " + indexPath() + " (" +
              why + "); they are taken in without their original names");
    }
    carriedRows.clear();
}

void PhotoLibrary::State::sayNoRecordLocks(const std::optional<std::error_code>& why) {
    if (!why || saidNoRecordLocks) {
        return;
    }
    saidNoRecordLocks = true;
    print("The photo library's folder " + quotedPath(folder) +
          " is on a file system without locks (" + why->message() +
          "); its index is locked with a folder beside it instead");
}

void PhotoLibrary::State::saySharing(const std::vector<detail::SharingNotice>& notices) {
    for (const detail::SharingNotice& notice : notices) {
        if (saidSharing.insert(notice.kind).second) {
            print(notice.line);
        }
    }
}

// Before a change: an index that is there to take it, the one at its path, written when it can
// be; why not otherwise.
std::optional<std::string> PhotoLibrary::State::readyToWrite() {
    if (!index) {
        openIndex();
    } else if (!followIndexOnDisk()) {
        locksStopped(); // each of the two opens the index again where it must
    }
    if (!index) {
        return notAvailable();
    }
    reopenIfWritable();
    if (!index->readOnlyReason().empty()) {
        return readOnlyRefusal();
    }
    return std::nullopt;
}

// Why a change cannot be made without an index.
std::string PhotoLibrary::State::notAvailable() const {
    return remedy.empty() ? "The photo library is not available now: its index " + indexPath() +
                                " cannot be used (" + unavailable + ")"
                          : cannotUse();
}

// An index deleted or replaced at its path while the library has it open (by hand, a backup
// renamed over it, the whole folder deleted) would take rows no one ever reads again: it is let
// go, and the one at the path now is opened (or a new one made), with the rows of the old one
// whose file is still there carried over, so those files keep their original names. Looked at
// before and after each change, on each timed try, and at the library's end.
bool PhotoLibrary::State::followIndexOnDisk() {
    if (stopping.load() || !index || !index->goneFromItsPath()) {
        return false;
    }
    carryRowsStillOnDisk(false);
    reopen();
    return true;
}

// The rows of the index the library has open (gone from its path) whose file is still there,
// carried for the next index that can be written, with one line (at the end, only when there
// are some: no index is made for none).
void PhotoLibrary::State::carryRowsStillOnDisk(bool atTheEnd) {
    std::vector<Asset> carried = index->allAssets();
    std::erase_if(carried, [](const Asset& asset) { // kept where it cannot be told now
        std::error_code error;
        return !std::filesystem::is_regular_file(asset.file, error) &&
               (!error || error == std::errc::no_such_file_or_directory ||
                error == std::errc::not_a_directory);
    });
    if (atTheEnd && carried.empty()) {
        return;
    }
    print("The photo library's index " + indexPath() +
          " was deleted or replaced while the library had it open; the library uses the one "
          "there now (or a new one) and keeps the names of the pictures it knew");
    std::move(carried.begin(), carried.end(), std::back_inserter(carriedRows));
}

// At the library's end: the rows only an index gone from its path holds (and those still
// carried from one) go into the index at the path now, opened or made, since the next start
// would take their files in without their names. Nothing is taken in (the next opening does
// that), and where there are no such rows nothing is opened: a folder deleted stays deleted.
// Not interrupted by the end (its statements wait for another program at most `busyWait`).
void PhotoLibrary::State::keepRowsAtTheEnd() {
    if (index && index->goneFromItsPath()) {
        carryRowsStillOnDisk(true);
        index.reset();
    }
    if (carriedRows.empty()) {
        return;
    }
    if (!index) {
        detail::LibraryIndex::Opening opening = detail::LibraryIndex::open(folder, busyWait);
        index = std::move(opening.index);
        unavailable = index ? std::string() : std::move(opening.problem);
    }
    keepCarriedRows(true);
}

// The index let go and opened again (an adoption under way stops: the new opening takes in
// what it had left), its rows to fetches and observers.
void PhotoLibrary::State::reopen() {
    if (adoption) {
        adoption->halted.store(true);
        adoption.reset();
    }
    const std::string readOnlyBefore = index ? index->readOnlyReason() : std::string();
    index.reset();
    hidden.clear();
    if (openIndex()) {
        if (index->readOnlyReason() != readOnlyBefore) {
            sayReadOnly();
        }
    } else if (!remedy.empty()) {
        print(cannotUse());
    }
    publish();
    settle();
    if (!adoption) {
        finishOpening();
    }
}

// An index read-only because its file or folder could not be written is opened again once
// they can be: true when it was, whether or not it writes now.
bool PhotoLibrary::State::reopenIfWritable() {
    if (!index || !index->writableAgain()) {
        return false;
    }
    reopen();
    if (index && index->readOnlyReason().empty()) {
        print("The photo library's index " + indexPath() +
              " can be written again; the library adds new pictures to it again");
    }
    return true;
}

// While the index only reads because it cannot be written, that is looked at again every 5 s
// on the library's queue and clock (a change looks too): nothing else tells when the user
// gives the permission back.
void PhotoLibrary::State::tryWritingLater() {
    if (writeTryScheduled || !index || !index->mayBecomeWritable() || stopping.load()) {
        return;
    }
    writeTryScheduled = true;
    queue.asyncAfter(kTryAgainAfter, [this] {
        writeTryScheduled = false;
        if (!stopping.load() && !followIndexOnDisk() && !reopenIfWritable()) {
            tryWritingLater();
        }
    });
}

// The index (or rows for the files without one) cannot be had now: one line while that lasts,
// and a try on the timer.
void PhotoLibrary::State::notAvailableNow(const std::string& why) {
    if (!waitingForIndex) {
        print("The photo library's index " + indexPath() + " is not available now (" + why +
              "); the library tries again every " + std::to_string(int(kTryAgainAfter.count())) +
              " s and at the next change");
        waitingForIndex = true;
    }
    nextTry.cancel();
    nextTry = queue.asyncAfter(kTryAgainAfter, [this] {
        tryScheduled = false;
        tryAgain();
    });
    tryScheduled = true;
}

// On the timer: what waited, tried again. The write lock is looked at first without waiting
// for it, so the queue is not held up while another program keeps it.
void PhotoLibrary::State::tryAgain() {
    if (stopping.load() || !waitingForIndex || adoption) {
        return; // an adoption under way settles at its end
    }
    if (!index) {
        if (openIndex()) {
            sayReadOnly();
            publish();
        } else if (!remedy.empty()) {
            print(cannotUse());
        }
        settle();
        return;
    }
    if (followIndexOnDisk()) {
        return;
    }
    if (!index->readOnlyReason().empty()) {
        waitingForIndex = false; // nothing can be added to it until it can be written again
        return;
    }
    if (!index->writableNow()) {
        notAvailableNow(index->lastError());
        return;
    }
    makeRowsAgreeWithFiles();
    publish();
    settle();
}

// After a change the index took (so its write lock is free): what waited goes in now.
void PhotoLibrary::State::tryAgainAfterChange() {
    if (!waitingForIndex || adoption || !index) {
        return;
    }
    nextTry.cancel();
    tryScheduled = false;
    makeRowsAgreeWithFiles();
    publish();
    settle();
}

// Nothing waits any more once no try is due and no adoption is under way.
void PhotoLibrary::State::settle() {
    if (!tryScheduled && !adoption) {
        waitingForIndex = false;
    }
}

// At a change or a fetch: when a folder that could not be read can be now, the rows are made to
// agree with the files again (its files without a row are taken in), and its rows go to the
// observers as changed, so what shows them loads them again.
void PhotoLibrary::State::lookAgainAtFolders() {
    lookQueued.store(false);
    if (stopping.load() || !index || adoption ||
        std::none_of(unreadableFolders.begin(), unreadableFolders.end(), [](const auto& each) {
            std::error_code unreadable;
            std::filesystem::directory_iterator(each, unreadable);
            return !unreadable;
        })) {
        return;
    }
    makeRowsAgreeWithFiles(GoneRows::keep);
    publish();
}

// While a folder cannot be read, it is also looked at again on the timer: a change or a fetch
// may never come (the app fetches at its start only), and what shows its rows waits for it.
void PhotoLibrary::State::lookAgainLater() {
    if (lookScheduled || unreadableFolders.empty() || stopping.load()) {
        return;
    }
    lookScheduled = true;
    queue.asyncAfter(kTryAgainAfter, [this] {
        lookScheduled = false;
        if (!followIndexOnDisk()) { // the opening of the one there now looks at the folders
            lookAgainAtFolders();
        }
        lookAgainLater(); // when still unreadable, or the look had to wait (an adoption)
    });
}

// Rows whose file is proven gone go (or, in an index that cannot be written, are hidden); files
// without a row (a rebuilt index, a library copied from a backup) are taken in. Another process
// may be adding assets meanwhile: the rows are read before the files are listed, a row whose
// copy is in progress stays, a row's file is looked for again before the row goes, and a file
// whose row came meanwhile keeps that row. Stops at the first change the index refuses as busy;
// what is left is done at a later try.
void PhotoLibrary::State::makeRowsAgreeWithFiles(GoneRows gone) {
    const std::vector<Asset> rows = index->allAssets();
    const detail::LibraryListing listing(folder);
    detail::RowsAgainstFiles checked = detail::compareRows(folder, rows, listing);
    noteUnreadableFolders(rows, checked);
    if (gone == GoneRows::keep) {
        checked.gone.clear();
    }
    if (!index->readOnlyReason().empty()) {
        hidden.insert(checked.gone.begin(), checked.gone.end());
        return;
    }
    int dropped = 0;
    for (const std::string& identifier : checked.gone) {
        if (index->remove(identifier)) {
            ++dropped;
        } else if (index->lastFault() == detail::SqliteFault::busy) {
            notAvailableNow(index->lastError());
            return;
        }
    }
    if (dropped > 0) {
        print("The photo library dropped " + counted(dropped, "asset") + " whose file is gone");
    }
    startAdoption(std::move(checked.loose));
}

// The folders that cannot be read now: one line for each not said before, and the rows of
// those that could not be read before but can now marked changed.
void PhotoLibrary::State::noteUnreadableFolders(const std::vector<Asset>& rows,
                                                const detail::RowsAgainstFiles& checked) {
    detail::reportUnreadableFolders(checked, unreadableFolders);
    std::set<std::filesystem::path> now;
    for (const auto& [unreadable, why] : checked.why) {
        now.insert(unreadable);
    }
    for (const Asset& row : rows) {
        const std::filesystem::path month = row.file.parent_path();
        for (const auto& each : {month, month.parent_path()}) {
            if (unreadableFolders.contains(each) && !now.contains(each)) {
                changedRows.insert(row.localIdentifier);
            }
        }
    }
    unreadableFolders = std::move(now);
    foldersToLookAt.store(!unreadableFolders.empty());
    lookAgainLater();
}

void PhotoLibrary::State::startAdoption(std::vector<std::filesystem::path> loose) {
    if (loose.empty() || adoption || stopping.load()) {
        return;
    }
    const std::size_t batches = (loose.size() + kAdoptionBatch - 1) / kAdoptionBatch;
    adoption = std::make_shared<Adoption>(std::move(loose), std::min(processorBudget(), batches));
    for (std::size_t lane = 0; lane < adoption->lanes; ++lane) {
        readOnPool(adoption);
    }
}

// A lane's next batch to the pool, unless the library is closing.
void PhotoLibrary::State::readOnPool(const std::shared_ptr<Adoption>& work) {
    const std::lock_guard lock(poolMutex);
    if (!poolClosed) {
        tasks->async([this, work] { readBatch(work); }, QoS::utility);
    }
}

// On the pool: the next files of the adoption, read and left for the queue; the lane goes on
// while files are left (and the library neither ends nor the index refused rows).
void PhotoLibrary::State::readBatch(const std::shared_ptr<Adoption>& work) {
    std::vector<detail::LooseFile> batch;
    while (batch.size() < kAdoptionBatch && !stopping.load()) {
        const std::size_t at = work->next.fetch_add(1);
        if (at >= work->files.size()) {
            break;
        }
        batch.push_back(detail::readLooseFile(work->files[at]));
    }
    const bool goesOn =
        !stopping.load() && !work->halted.load() && work->next.load() < work->files.size();
    {
        const std::lock_guard lock(work->mutex);
        std::move(batch.begin(), batch.end(), std::back_inserter(work->read));
        work->lanesEnded += goesOn ? 0 : 1;
    }
    if (goesOn) {
        readOnPool(work);
    }
    queue.async([this, work] { addWaitingRows(work); });
}

// On the queue: the rows the lanes have read so far into the index; when every lane has
// ended, the end of the opening.
void PhotoLibrary::State::addWaitingRows(const std::shared_ptr<Adoption>& work) {
    if (stopping.load() || work != adoption) {
        return;
    }
    std::vector<detail::LooseFile> waiting;
    bool ended = false;
    {
        const std::lock_guard lock(work->mutex);
        waiting.swap(work->read);
        ended = work->lanesEnded == work->lanes;
    }
    for (const detail::LooseFile& loose : waiting) {
        if (!loose.asset) {
            print("The photo library leaves " + quotedPath(loose.file) + " out: " + loose.leftOut);
        }
    }
    if (!work->halted.load() && !addRows(*work, waiting)) {
        work->halted.store(true);
    }
    if (!ended) {
        return;
    }
    if (work->adopted > 0) {
        print("The photo library took in " + counted(work->adopted, "file") +
              " that had no entry in its index");
    }
    adoption.reset();
    if (work->halted.load() && (work->refusalFault == detail::SqliteFault::busy ||
                                work->refusalFault == detail::SqliteFault::unavailable)) {
        notAvailableNow(work->refusal);
    }
    publish();
    settle();
    finishOpening();
}

// The rows of a batch in one transaction; false when the index refused it (busy, a full
// disk), with why in `work`: nothing of it is added then.
bool PhotoLibrary::State::addRows(Adoption& work, const std::vector<detail::LooseFile>& batch) {
    if (std::none_of(batch.begin(), batch.end(), [](const auto& loose) { return loose.asset; })) {
        return true;
    }
    const auto refused = [&] {
        work.refusal = index->lastError();
        work.refusalFault = index->lastFault();
        return false;
    };
    if (!index->begin()) {
        return refused();
    }
    int added = 0;
    for (const detail::LooseFile& loose : batch) {
        if (!loose.asset) {
            continue;
        }
        if (index->insert(*loose.asset, loose.thumbnailJpeg,
                          detail::LibraryIndex::OnConflict::keep)) {
            added += index->added() ? 1 : 0;
        } else if (index->lastFault() == detail::SqliteFault::busy) {
            refused();
            index->rollback();
            return false;
        }
    }
    if (!index->commit()) {
        refused();
        index->rollback();
        return false;
    }
    work.adopted += added;
    return true;
}

void PhotoLibrary::State::finishOpening() {
    opened = true;
    for (auto& handler : std::exchange(openedHandlers, {})) {
        handler();
    }
}

// Before a change to an index locked with record locks, and after one failed: when the folder
// has no record locks any more (a lock daemon that stopped answering), says so and opens the
// index again, locked with its lock folder. True when it did. Looked at before the change too,
// as SQLite's WAL tries its shared-memory locks for some 10 s before it gives up.
bool PhotoLibrary::State::locksStopped() {
    if (!index || !index->locksWithRecordLocks()) {
        return false;
    }
    const std::optional<std::error_code> missing = detail::recordLocksMissing(folder);
    if (!missing) {
        return false;
    }
    print("The photo library's folder " + quotedPath(folder) + " no longer gives locks (" +
          missing->message() +
          "); its index is opened again and locked with a folder beside it instead");
    saidNoRecordLocks = true;
    reopen();
    return true;
}

// Why there is no index, for a cause that stays until the user changes something.
std::string PhotoLibrary::State::cannotUse() const {
    return "The photo library cannot use its index " + indexPath() + ": " + unavailable + "; " +
           remedy;
}

std::string PhotoLibrary::State::indexPath() const {
    return quotedPath(folder / "library.sqlite");
}

// One line for an index that only reads: why, and what the library shows.
void PhotoLibrary::State::sayReadOnly() const {
    if (index->readOnlyReason().empty()) {
        return;
    }
    print("The photo library's index " + indexPath() + " is read-only (" + index->readOnlyReason() +
          (index->rowsUnreadable().empty()
               ? "); the library shows its pictures but cannot add any"
               : "); this version cannot read its pictures (" + index->rowsUnreadable() +
                     "), so the library shows none and cannot add any"));
}

std::string PhotoLibrary::State::readOnlyRefusal() const {
    return "The photo library cannot take new pictures: its index " + indexPath() +
           " is read-only (" + index->readOnlyReason() + ")";
}

// Adds `source` as a new asset; why not, on failure.
std::optional<std::string> PhotoLibrary::State::create(const std::filesystem::path& source) {
    if (ScopedPhotoLibraryFaults::current().failChanges) {
        return "The photo library refused the change";
    }
    if (!isGranted(accessStatus(permissions))) {
        return "Access to the photo library was not granted";
    }
    if (std::optional<std::string> notReady = readyToWrite()) {
        return notReady;
    }
    const imaging::Result<Bytes> bytes = detail::readPictureFile(source);
    if (!bytes) {
        return "Cannot read " + quotedPath(source) + ": " + bytes.error();
    }
    const auto contents = detail::readAssetContents(*bytes);
    if (!contents) {
        return quotedPath(source) +
               " is no picture the photo library can take: " + contents.error();
    }
    const WallTime created = contents->dateTimeOriginal.value_or(wallNow());
    const std::string identifier = detail::newUuid();
    const std::filesystem::path month =
        folder / DateFormatter("yyyy/MM", DateFormatter::Zone::local).format(created);
    const std::filesystem::path copy = month / (identifier + "." + contents->extension);
    std::error_code made;
    std::filesystem::create_directories(month, made);
    if (made) { // the cause of making it, not the missing folder's of writing into it
        return "Cannot copy " + quotedPath(source) +
               " into the photo library: could not create the folder " + quotedPath(month) + " (" +
               made.message() + ")";
    }
    const Asset asset = detail::assetFor(*contents, identifier, copy, created,
                                         source.filename().string(), bytes->size());
    // Replacing: after the copy has its name, another process may have taken it in as a file
    // without a row (where it took the copy for one whose writer is gone and dropped the row).
    const auto addRow = [&] {
        return index->insert(asset, contents->thumbnailJpeg,
                             detail::LibraryIndex::OnConflict::replace);
    };
    // The row goes in once the copy is whole under its temporary name, before the copy gets
    // its name (PhotoLibrary.hpp says why).
    std::optional<std::string> refusal;
    bool rowAdded = false;
    const std::error_code written = writeFileAtomically(copy, asText(*bytes), false, nullptr, [&] {
        refusal = addRowBeforeNaming(source, addRow);
        rowAdded = !refusal;
        return rowAdded;
    });
    if (refusal) {
        return refusal;
    }
    if (written) {
        if (rowAdded) {
            index->remove(identifier); // else dropped at an opening: its file is proven gone
        }
        return "Cannot copy " + quotedPath(source) +
               " into the photo library: " + written.message();
    }
    // The index may have been deleted or replaced during the write: the save is reported once
    // its row is in the index at the path (carried there with the old one's rows, and added
    // with its thumbnail), else it fails, leaving neither copy nor row. Another process may
    // have dropped the row meanwhile, as one whose copy's writer is gone (a process of a home
    // without locks beside one with them sees no lock on the copy): it goes in again.
    const auto undone = [&](std::string why) {
        std::filesystem::remove(copy, made);
        if (index) {
            index->remove(identifier);
        }
        return why;
    };
    if (followIndexOnDisk()) {
        std::erase_if(carriedRows,
                      [&](const Asset& row) { return row.localIdentifier == identifier; });
        if (!index) {
            return undone(notAvailable());
        }
        if (!addRow()) {
            return undone(refusedRow(source));
        }
    } else if (index->lacks(identifier) && !addRow()) {
        return undone(refusedRow(source));
    }
    return std::nullopt;
}

// In a save, once its copy is whole and before it has its name: its row, or why not. Locks
// that stopped during the change have the index opened again with its lock folder, and the row
// is tried once more through it.
std::optional<std::string>
PhotoLibrary::State::addRowBeforeNaming(const std::filesystem::path& source,
                                        const std::function<bool()>& addRow) {
    if (addRow()) {
        return std::nullopt;
    }
    if (!locksStopped()) {
        return refusedRow(source);
    }
    if (std::optional<std::string> notReady = readyToWrite()) {
        return notReady;
    }
    return addRow() ? std::nullopt : std::optional(refusedRow(source));
}

// Why the row of `source` was not added.
std::string PhotoLibrary::State::refusedRow(const std::filesystem::path& source) {
    const std::string why = index->lastError();
    const detail::SqliteFault fault = index->lastFault();
    if (fault == detail::SqliteFault::readOnly || fault == detail::SqliteFault::readOnlyFolder) {
        index->becameReadOnly();
        tryWritingLater();
        return readOnlyRefusal();
    }
    return fault == detail::SqliteFault::busy
               ? "The photo library is not available now: its index " + indexPath() +
                     " is held by another program (" + why + ")"
               : "Cannot add " + quotedPath(source) + " to the photo library's index: " + why;
}

// The rows as they are now, to fetches and observers.
void PhotoLibrary::State::publish() {
    refreshSnapshot();
    tellObservers();
}

void PhotoLibrary::State::refreshSnapshot() {
    std::vector<Asset> assets = index ? index->allAssets() : std::vector<Asset>();
    std::erase_if(assets,
                  [this](const Asset& asset) { return hidden.contains(asset.localIdentifier); });
    std::lock_guard lock(mutex);
    snapshot = std::move(assets);
}

void PhotoLibrary::State::tellObservers() {
    std::vector<std::shared_ptr<PhotoLibraryChangeObserver>> alive;
    PhotoLibraryChange change{FetchResult()};
    {
        std::lock_guard lock(mutex);
        std::erase_if(observers, [](const auto& weak) { return weak.expired(); });
        for (const auto& weak : observers) {
            if (auto observer = weak.lock()) {
                alive.push_back(std::move(observer));
            }
        }
        change = PhotoLibraryChange(FetchResult(snapshot), std::exchange(changedRows, {}));
    }
    for (const auto& observer : alive) {
        observer->photoLibraryDidChange(change);
    }
}

PhotoLibrary& PhotoLibrary::shared() {
    static PhotoLibrary library(AppFolders::fromEnvironment().photos, Permissions::shared());
    return library;
}

PhotoLibrary::PhotoLibrary(std::filesystem::path folder, Permissions& permissions,
                           std::chrono::milliseconds busyWait)
    : state_(std::make_shared<State>(std::move(folder), permissions, busyWait)) {
    state_->queue.async([state = state_.get()] { state->open(); });
}

PhotoLibrary::~PhotoLibrary() {
    close();
}

void PhotoLibrary::close() {
    if (state_->stopping.exchange(true)) {
        return;
    }
    // Work under way ends soon (a statement running or waiting for a lock, a file being
    // read); what is queued behind it does nothing, and the pool is given no more.
    state_->interrupted.store(true);
    state_->queue.sync([] {});
    {
        const std::lock_guard lock(state_->poolMutex);
        state_->poolClosed = true;
    }
    state_->tasks.reset(); // waits for the tasks running; those not begun do nothing
    // Then, with nothing else running, the last look at the index's path.
    state_->queue.sync([state = state_.get()] {
        state->interrupted.store(false);
        state->keepRowsAtTheEnd();
    });
}

PermissionStatus PhotoLibrary::authorizationStatus() const {
    return accessStatus(state_->permissions);
}

void PhotoLibrary::requestAuthorization(std::function<void(PermissionStatus)> handler) {
    state_->permissions.request(PermissionService::photos, std::move(handler));
}

void PhotoLibrary::createAsset(std::filesystem::path file, Completion completion) {
    state_->queue.async(
        [state = state_.get(), file = std::move(file), completion = std::move(completion)] {
            const std::optional<std::string> error =
                state->stopping.load() ? std::optional<std::string>("The photo library has ended")
                                       : state->create(file);
            if (!error) {
                state->refreshSnapshot();
            }
            if (completion) {
                completion(!error, error);
            }
            if (!error) {
                state->tellObservers();
                state->tryAgainAfterChange();
            }
            state->lookAgainAtFolders();
        });
}

FetchResult PhotoLibrary::fetchAssets() const {
    if (!isGranted(authorizationStatus())) {
        return FetchResult();
    }
    if (state_->foldersToLookAt.load() && !state_->lookQueued.exchange(true)) {
        state_->queue.async([state = state_.get()] { state->lookAgainAtFolders(); });
    }
    std::lock_guard lock(state_->mutex);
    return FetchResult(state_->snapshot);
}

void PhotoLibrary::registerChangeObserver(
    const std::weak_ptr<PhotoLibraryChangeObserver>& observer) {
    const auto strong = observer.lock();
    std::lock_guard lock(state_->mutex);
    for (const auto& each : state_->observers) {
        if (each.lock() == strong) {
            return;
        }
    }
    state_->observers.push_back(observer);
}

void PhotoLibrary::unregisterChangeObserver(const PhotoLibraryChangeObserver* observer) {
    std::lock_guard lock(state_->mutex);
    std::erase_if(state_->observers, [observer](const auto& weak) {
        return weak.expired() || weak.lock().get() == observer;
    });
}

std::vector<std::uint8_t> PhotoLibrary::thumbnailJpeg(const Asset& asset) const {
    Bytes stored = state_->queue.sync(
        [&] { return state_->index ? state_->index->thumbnail(asset.localIdentifier) : Bytes(); });
    if (!stored.empty()) {
        return stored;
    }
    // Taken in without one: made from the file now, on the caller's thread, and kept.
    const imaging::Result<Bytes> bytes = detail::readPictureFile(asset.file);
    imaging::Result<Bytes> made =
        bytes ? detail::makeThumbnail(*bytes) : imaging::Result<Bytes>::failure(bytes.error());
    if (!made) {
        return {};
    }
    state_->queue.async([state = state_.get(), identifier = asset.localIdentifier, jpeg = *made] {
        if (!state->stopping.load() && state->index) {
            state->index->storeThumbnail(identifier, jpeg);
        }
    });
    return std::move(*made);
}

void PhotoLibrary::whenOpened(std::function<void()> handler) {
    state_->queue.async([state = state_.get(), handler = std::move(handler)]() mutable {
        if (state->opened) {
            handler();
        } else {
            state->openedHandlers.push_back(std::move(handler));
        }
    });
}

const std::filesystem::path& PhotoLibrary::folder() const {
    return state_->folder;
}

} // namespace qv::platform
