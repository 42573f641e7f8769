#pragma once

#include "camera/LibraryFileConversion.hpp"
#include "model/Enumerations.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/photos/AssetCollection.hpp"
#include "platform/photos/FetchResult.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Published.hpp"
#include "platform/store/StoredSetting.hpp"
#include "platform/store/UserDefaults.hpp"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace qv::platform {
class PhotoLibrary;
}

namespace qv {

// How one save ended.
enum class SaveOutcome {
    saved,             // the file is in the folder and in the photo library
    savedToFolderOnly, // the file is in the folder; the photo library refused or failed it
    notConverted,      // the result did not convert to the chosen format: nothing written
    diskFull,          // the disk is full: no file, no temporary file, no asset
    notWritten,        // the file could not be written for another reason: nothing left
};

struct SaveReport {
    SaveOutcome outcome = SaveOutcome::saved;
    std::filesystem::path file; // the file written; empty when none was
    std::string error;          // why, when not saved
};

// Turns a run's result into a saved picture: converts it to the chosen format
// (LibraryFileConversion.hpp), writes it into the Documents folder, or into the cloud
// container's Documents while "cloudStorage" is on (the Documents folder when there is no
// container; each folder is made when missing), then adds that file to the photo library as a
// new asset. The file stays where it was written, also when the library refuses it.
//
// A cloud folder that cannot take the picture (the container is a file, its Documents folder
// cannot be made, the write fails there) does what no container does: the picture goes to
// the local Documents folder and into the library as any other, with one line saying where
// it went and why. A picture is lost only when no folder can take it; each folder's failure
// is then printed and the outcome says why (diskFull, notWritten).
//
// Names: "QV" + the local time of writing as "_yyyyMMdd_HHmmss" + the suffix when one is
// given, else "_" + the index when it is not 0; then "." + the extension
// (QV_20250314_213005_FA.DNG, QV_20250314_213005_2.DNG). A file is never replaced: when the
// name is taken (two saves in one second), "-2", "-3", ... goes before the extension.
// Files are written atomically: a failed write leaves no file and no temporary file. A save
// killed while it wrote leaves only its temporary file ("<name>.tmp-<pid>-<n>"); the writer
// removes those whose writing process is gone when it starts (TemporaryFiles.hpp).
//
// Threads: save() and fetchAllPhotos() may be called from any queue. Conversions and writes
// run one at a time on the serial queue "LibraryQueue" in the order asked; the library adds
// its assets on its own queue in the same order. `allPhotos` is written on the main queue.
// The destructor waits for the conversions and writes already asked for, so a result handed
// over is never dropped; the library, the store and the folders must outlive the writer.
class PhotoLibraryManager final : public platform::ObservableObject {
public:
    static constexpr const char* cloudStorageKey = "cloudStorage";

    using SaveCompletion = std::function<void(const SaveReport&)>;

    PhotoLibraryManager(platform::UserDefaults& defaults, platform::PhotoLibrary& library,
                        const platform::AppFolders& folders);
    ~PhotoLibraryManager();
    PhotoLibraryManager(const PhotoLibraryManager&) = delete;
    PhotoLibraryManager& operator=(const PhotoLibraryManager&) = delete;

    // Every asset of the library, newest first; nothing until fetchAllPhotos() ran.
    platform::Published<std::optional<platform::FetchResult>> allPhotos{*this, std::nullopt};
    // The newest picture, a picture of the library, whether they are loaded, and the album
    // of the app's pictures, for a screen that shows them. Nothing sets them: the camera
    // screen shows the controller's libraryThumbnail and resultUIImage, and results are
    // added to the library itself, in no album.
    platform::Published<std::shared_ptr<const platform::RgbaImage>> mostRecentImage{*this, nullptr};
    platform::Published<std::shared_ptr<const platform::RgbaImage>> image{*this, nullptr};
    platform::Published<bool> ready{*this, false};
    // Save into the cloud container's Documents ("cloudStorage", default false).
    platform::StoredSetting<bool> isEnableCloudStorage;
    std::optional<platform::AssetCollection> album;

    // Converts, writes and adds one result; returns at once. Without data it does nothing
    // and `done` is not called. Otherwise `done` runs once with the outcome: on the library's
    // queue after the asset was added or refused, on "LibraryQueue" when nothing was written.
    void save(std::optional<platform::imaging::FileData> data, SupportedImageFormat format,
              int index, std::optional<std::string> suffix, SaveCompletion done = {});

    // Saves asked for whose outcome has not come yet (the app waits for them before it
    // ends). Any thread.
    std::size_t pendingSaves() const;

    // allPhotos = every asset of the library, newest first. Main queue.
    void fetchAllPhotos();

    platform::DispatchQueue& libraryQueue() { return *queue_; }

private:
    // One attempt at writing the picture into a folder: the file written, or the last name
    // tried and why it failed.
    struct Written {
        std::filesystem::path file;
        std::error_code error;
        bool folderNotMade = false; // the folder itself could not be made
    };

    void store(platform::imaging::FileData data, SupportedImageFormat format, int index,
               const std::optional<std::string>& suffix, const SaveCompletion& done);
    // Writes the file under `url` plus its extension, or the first free name after it.
    static Written writeNew(const std::filesystem::path& url, const LibraryFile& converted);
    // Makes the cloud folder when missing, then writes the file there.
    static Written writeIntoCloud(const std::filesystem::path& folder, const std::string& name,
                                  const LibraryFile& converted);
    // Writes the file into `folder`, or, when the folder could not be made (`notMade`), fails
    // with that cause.
    static Written writeInto(const std::filesystem::path& folder, const std::error_code& notMade,
                             const std::string& name, const LibraryFile& converted);
    // The name without folder and extension, from the time of writing.
    static std::string fileName(int index, const std::optional<std::string>& suffix);
    // The cloud container's Documents folder while the setting is on and there is one.
    std::optional<std::filesystem::path> chosenCloudFolder() const;
    // The name in `folder`, printed.
    static std::filesystem::path makeFileURL(const std::filesystem::path& folder,
                                             const std::string& name);
    void addToPhotoLibrary(const std::filesystem::path& file, SaveCompletion done);

    platform::PhotoLibrary& library_;
    // Resolved at every save, so a folder removed meanwhile is made again.
    platform::AppFolders folders_;
    // Counted up by save() and down after its completion, which may run on the library's
    // queue after the writer is gone: shared with those completions.
    std::shared_ptr<std::atomic<std::size_t>> pending_ =
        std::make_shared<std::atomic<std::size_t>>(0);
    // Declared last so it goes first: no block of it runs once the writer is being destroyed.
    std::unique_ptr<platform::DispatchQueue> queue_;
};

} // namespace qv
