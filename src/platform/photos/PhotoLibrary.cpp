#include "platform/photos/PhotoLibrary.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/permissions/Permissions.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"
#include "platform/photos/detail/AssetContents.hpp"
#include "platform/photos/detail/LibraryFiles.hpp"
#include "platform/photos/detail/LibraryIndex.hpp"
#include "platform/photos/detail/PictureFile.hpp"
#include "platform/photos/detail/Uuid.hpp"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace qv::platform {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string_view asText(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// An asset of `contents` stored as `file`.
Asset assetFor(const detail::AssetContents& contents, std::string identifier,
               std::filesystem::path file, WallTime creationDate, std::string originalName,
               std::uintmax_t size) {
    Asset asset;
    asset.localIdentifier = std::move(identifier);
    asset.creationDate = creationDate;
    asset.pixelWidth = contents.pixelWidth;
    asset.pixelHeight = contents.pixelHeight;
    asset.orientation = contents.orientation;
    asset.location = contents.location;
    asset.originalFilename = std::move(originalName);
    asset.fileSize = size;
    asset.file = std::move(file);
    return asset;
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

WallTime modificationTime(const std::filesystem::path& file) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error) {
        return wallNow();
    }
    return std::chrono::time_point_cast<std::chrono::nanoseconds>(
        std::chrono::file_clock::to_sys(written));
}

} // namespace

struct PhotoLibrary::State {
    std::filesystem::path folder;
    Permissions& permissions;
    std::chrono::milliseconds busyWait;
    std::unique_ptr<detail::LibraryIndex> index; // on the queue only
    std::string unavailable;                     // why there is no index now; on the queue only
    std::string remedy; // what to change, when no later try gets past why; on the queue only
    std::set<std::string> hidden; // rows of a read-only index whose file is gone; on the queue

    mutable std::mutex mutex; // guards the fields below: read anywhere, written on the queue
    std::vector<Asset> snapshot;
    std::vector<std::weak_ptr<PhotoLibraryChangeObserver>> observers;
    std::atomic<bool> opened{false}; // set on the queue once the index is open and checked

    DispatchQueue queue{"photo library", QoS::utility};

    State(std::filesystem::path f, Permissions& p, std::chrono::milliseconds wait)
        : folder(std::move(f)), permissions(p), busyWait(wait) {}

    void open();
    bool openIndex();
    void adoptLooseFiles();
    void hideRowsWhoseFileIsGone();
    std::optional<std::string> create(const std::filesystem::path& source);
    std::string cannotUse() const;
    std::string readOnlyRefusal() const;
    void refreshSnapshot();
    void tellObservers();
};

void PhotoLibrary::State::open() {
    if (!openIndex()) {
        print(remedy.empty()
                  ? "The photo library's index " + quotedPath(folder / "library.sqlite") +
                        " is not available now (" + unavailable +
                        "); the library tries again at the next change"
                  : cannotUse());
    } else if (!index->readOnlyReason().empty()) {
        print("The photo library's index " + quotedPath(folder / "library.sqlite") +
              " is read-only (" + index->readOnlyReason() +
              "); the library shows its pictures but cannot add any");
    }
    opened.store(true);
}

// Opens the index and makes it agree with the files; false (with why in `unavailable`) when
// it is not available now.
bool PhotoLibrary::State::openIndex() {
    detail::LibraryIndex::Opening opening = detail::LibraryIndex::open(folder, busyWait);
    index = std::move(opening.index);
    unavailable = index ? std::string() : std::move(opening.problem);
    remedy = index ? std::string() : std::move(opening.remedy);
    if (index) {
        if (index->readOnlyReason().empty()) {
            adoptLooseFiles();
        } else {
            hideRowsWhoseFileIsGone();
        }
        refreshSnapshot();
    }
    return index != nullptr;
}

namespace {

// Which rows of the index stand for files that are there, and which are proven gone.
struct RowsAgainstFiles {
    std::set<std::filesystem::path> indexed;   // files that have a row
    std::vector<std::string> gone;             // identifiers of rows whose file is gone
    std::map<std::filesystem::path, int> kept; // rows kept unchecked, by the folder in the way
    std::map<std::filesystem::path, std::string> why; // why each of those folders cannot be read
};

// A row is gone when its file lies outside the library's year and month folders, or its
// month folder was read and the file is not in it. A row whose folder cannot be read now
// (no permission, missing, behind a link to a disk that is not mounted) is kept as it is.
RowsAgainstFiles compareRows(const std::filesystem::path& folder, const std::vector<Asset>& rows,
                             const detail::LibraryListing& listing) {
    RowsAgainstFiles result;
    result.why = listing.unreadable();
    for (const auto& [unreadable, why] : listing.unreadable()) {
        result.kept.emplace(unreadable, 0);
    }
    for (const Asset& asset : rows) {
        const auto presence = detail::isLibraryPath(folder, asset.file)
                                  ? listing.presence(asset.file)
                                  : detail::LibraryListing::Presence::gone;
        switch (presence) {
        case detail::LibraryListing::Presence::present:
            result.indexed.insert(asset.file);
            break;
        case detail::LibraryListing::Presence::gone:
            result.gone.push_back(asset.localIdentifier);
            break;
        case detail::LibraryListing::Presence::unchecked: {
            result.indexed.insert(asset.file);
            auto [blocked, why] = listing.obstacle(asset.file);
            ++result.kept[blocked];
            result.why[blocked] = std::move(why);
            break;
        }
        }
    }
    return result;
}

// One line for each folder that cannot be read: what it keeps, or what it leaves out.
void reportUnreadableFolders(const RowsAgainstFiles& rows) {
    for (const auto& [blocked, count] : rows.kept) {
        const std::string start = "The photo library cannot read the folder " +
                                  quotedPath(blocked) + " (" + rows.why.at(blocked) + "); ";
        print(count == 0 ? start + "pictures in it are not taken in"
                         : start + "it keeps the " + counted(count, "asset") + " in it as " +
                               (count == 1 ? "it is" : "they are"));
    }
}

} // namespace

// Makes the index and the files agree: rows whose file is proven gone go (LibraryListing),
// files without a row (a crash between copy and row, or a rebuilt index) are taken in.
// Another process may be adding assets meanwhile: the rows are read before the files are
// listed, a row's file is looked for again before the row goes, and a file whose row came
// meanwhile keeps that row. Stops at the first change the index refuses as busy; what is
// left is done at the next opening.
void PhotoLibrary::State::adoptLooseFiles() {
    const std::vector<Asset> rows = index->allAssets();
    const detail::LibraryListing listing(folder);
    const RowsAgainstFiles checked = compareRows(folder, rows, listing);
    reportUnreadableFolders(checked);
    int dropped = 0;
    for (const std::string& identifier : checked.gone) {
        if (index->remove(identifier)) {
            ++dropped;
        } else if (index->lastFault() == detail::SqliteFault::busy) {
            return;
        }
    }
    if (dropped > 0) {
        print("The photo library dropped " + counted(dropped, "asset") + " whose file is gone");
    }
    int adopted = 0;
    for (const std::filesystem::path& file : listing.files()) {
        if (checked.indexed.contains(file)) {
            continue;
        }
        const imaging::Result<Bytes> bytes = detail::readPictureFile(file);
        auto contents = bytes ? detail::readAssetContents(*bytes)
                              : imaging::Result<detail::AssetContents>::failure(bytes.error());
        if (!contents) {
            print("The photo library leaves " + quotedPath(file) + " out: " + contents.error());
            continue;
        }
        const std::string stem = file.stem().string();
        const Asset asset =
            assetFor(*contents, detail::isUuid(stem) ? stem : detail::newUuid(), file,
                     contents->dateTimeOriginal.value_or(modificationTime(file)),
                     file.filename().string(), bytes->size());
        if (index->insert(asset, contents->thumbnailJpeg, detail::LibraryIndex::OnConflict::keep)) {
            adopted += index->added() ? 1 : 0;
        } else if (index->lastFault() == detail::SqliteFault::busy) {
            break;
        }
    }
    if (adopted > 0) {
        print("The photo library took in " + counted(adopted, "file") +
              " that had no entry in its index");
    }
}

// Rows cannot be dropped from an index that cannot be written: those whose file is proven
// gone are left out of what it shows instead.
void PhotoLibrary::State::hideRowsWhoseFileIsGone() {
    const detail::LibraryListing listing(folder);
    const RowsAgainstFiles checked = compareRows(folder, index->allAssets(), listing);
    reportUnreadableFolders(checked);
    hidden.insert(checked.gone.begin(), checked.gone.end());
}

// Why there is no index, for a cause that stays until the user changes something.
std::string PhotoLibrary::State::cannotUse() const {
    return "The photo library cannot use its index " + quotedPath(folder / "library.sqlite") +
           ": " + unavailable + "; " + remedy;
}

std::string PhotoLibrary::State::readOnlyRefusal() const {
    return "The photo library cannot take new pictures: its index " +
           quotedPath(folder / "library.sqlite") + " is read-only (" + index->readOnlyReason() +
           ")";
}

// Adds `source` as a new asset; why not, on failure.
std::optional<std::string> PhotoLibrary::State::create(const std::filesystem::path& source) {
    if (ScopedPhotoLibraryFaults::current().failChanges) {
        return "The photo library refused the change";
    }
    if (!isGranted(accessStatus(permissions))) {
        return "Access to the photo library was not granted";
    }
    if (!index && !openIndex()) {
        return remedy.empty() ? "The photo library is not available now: its index " +
                                    quotedPath(folder / "library.sqlite") + " cannot be used (" +
                                    unavailable + ")"
                              : cannotUse();
    }
    if (!index->readOnlyReason().empty()) {
        return readOnlyRefusal();
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
    if (const std::error_code written = writeFileAtomically(copy, asText(*bytes), false)) {
        return "Cannot copy " + quotedPath(source) +
               " into the photo library: " + written.message();
    }
    const Asset asset =
        assetFor(*contents, identifier, copy, created, source.filename().string(), bytes->size());
    // Replacing: another process opening the library meanwhile may have taken the copy in
    // as a file without a row; this row, with the original name, is the one to keep.
    if (!index->insert(asset, contents->thumbnailJpeg, detail::LibraryIndex::OnConflict::replace)) {
        const std::string why = index->lastError();
        const detail::SqliteFault fault = index->lastFault();
        std::filesystem::remove(copy, made);
        if (fault == detail::SqliteFault::readOnly ||
            fault == detail::SqliteFault::readOnlyFolder) {
            index->becameReadOnly();
            return readOnlyRefusal();
        }
        return fault == detail::SqliteFault::busy
                   ? "The photo library is not available now: its index " +
                         quotedPath(folder / "library.sqlite") + " is held by another program (" +
                         why + ")"
                   : "Cannot add " + quotedPath(source) + " to the photo library's index: " + why;
    }
    return std::nullopt;
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
        change = PhotoLibraryChange(FetchResult(snapshot));
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

PhotoLibrary::~PhotoLibrary() = default;

PermissionStatus PhotoLibrary::authorizationStatus() const {
    return accessStatus(state_->permissions);
}

void PhotoLibrary::requestAuthorization(std::function<void(PermissionStatus)> handler) {
    state_->permissions.request(PermissionService::photos, std::move(handler));
}

void PhotoLibrary::createAsset(std::filesystem::path file, Completion completion) {
    state_->queue.async(
        [state = state_.get(), file = std::move(file), completion = std::move(completion)] {
            const std::optional<std::string> error = state->create(file);
            if (!error) {
                state->refreshSnapshot();
            }
            if (completion) {
                completion(!error, error);
            }
            if (!error) {
                state->tellObservers();
            }
        });
}

FetchResult PhotoLibrary::fetchAssets() const {
    if (!isGranted(authorizationStatus())) {
        return FetchResult();
    }
    if (!state_->opened.load()) {
        state_->queue.sync([] {}); // the opening comes first
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
    return state_->queue.sync(
        [&] { return state_->index ? state_->index->thumbnail(asset.localIdentifier) : Bytes(); });
}

const std::filesystem::path& PhotoLibrary::folder() const {
    return state_->folder;
}

} // namespace qv::platform
