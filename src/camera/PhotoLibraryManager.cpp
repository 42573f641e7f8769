#include "camera/PhotoLibraryManager.hpp"

#include "camera/LibraryFileConversion.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/photos/PhotoLibrary.hpp"
#include "platform/system/Url.hpp"

#include <string_view>
#include <system_error>
#include <utility>

namespace qv {

namespace fs = std::filesystem;
using platform::imaging::FileData;

namespace {

// Attempts at a free name ("-2" ... before the extension) before a save gives up.
constexpr int maxNameAttempts = 1000;

std::string fileURL(const fs::path& path) {
    // A relative path whose working folder is gone stays relative rather than throwing.
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return "file://" + platform::percentEncoded((error ? path : absolute).string(), "/");
}

fs::path withExtension(const fs::path& name, int attempt, std::string_view extension) {
    std::string file = name.filename().string();
    if (attempt > 1) {
        file += '-';
        file += std::to_string(attempt);
    }
    file += '.';
    file += extension;
    return name.parent_path() / file;
}

// Prints the two lines of a write that failed.
void printWriteFailure(const fs::path& file, const std::error_code& error) {
    platform::print("could not write image to " + fileURL(file));
    platform::print(error.message());
}

} // namespace

PhotoLibraryManager::PhotoLibraryManager(platform::UserDefaults& defaults,
                                         platform::PhotoLibrary& library,
                                         const platform::AppFolders& folders)
    : isEnableCloudStorage(*this, defaults, cloudStorageKey, false), library_(library),
      folders_(folders),
      queue_(std::make_unique<platform::DispatchQueue>("LibraryQueue", platform::QoS::utility)) {
    // A save killed while it wrote leaves its temporary file; those whose writer is gone go
    // before the first save (a copy another process is writing stays). Other machines may
    // write into the cloud container, so there only a file's age tells.
    queue_->async([folders = folders_] {
        platform::removeStaleTemporaryFiles(folders.documents);
        if (folders.cloudContainer) {
            platform::removeStaleTemporaryFiles(*folders.cloudContainer / "Documents",
                                                platform::FolderSharing::otherMachines);
        }
    });
}

PhotoLibraryManager::~PhotoLibraryManager() {
    queue_->sync([] {}); // the saves already asked for are written before the writer goes
}

void PhotoLibraryManager::save(std::optional<FileData> data, SupportedImageFormat format, int index,
                               std::optional<std::string> suffix, SaveCompletion done) {
    if (!data) {
        return;
    }
    pending_->fetch_add(1);
    SaveCompletion counted = [pending = pending_, done = std::move(done)](const SaveReport& r) {
        if (done) {
            done(r);
        }
        pending->fetch_sub(1);
    };
    queue_->async([this, data = std::move(*data), format, index, suffix = std::move(suffix),
                   counted = std::move(counted)]() mutable {
        store(std::move(data), format, index, suffix, counted);
    });
}

std::size_t PhotoLibraryManager::pendingSaves() const {
    return pending_->load();
}

void PhotoLibraryManager::fetchAllPhotos() {
    allPhotos = library_.fetchAssets();
}

void PhotoLibraryManager::store(FileData data, SupportedImageFormat format, int index,
                                const std::optional<std::string>& suffix,
                                const SaveCompletion& done) {
    auto converted = libraryFile(std::move(data), format);
    if (!converted) {
        platform::print("could not convert the result:", converted.error());
        if (done) {
            done({SaveOutcome::notConverted, {}, converted.error()});
        }
        return;
    }
    const std::string name = fileName(index, suffix);
    // The cloud folder first when the setting asks for it; what it cannot take goes to the
    // local Documents folder, as when there is no container, so a picture is lost only when
    // no folder can take it.
    std::optional<Written> cloudMiss;
    if (const auto cloud = chosenCloudFolder()) {
        const Written written = writeIntoCloud(*cloud, name, *converted);
        if (!written.error) {
            addToPhotoLibrary(written.file, done);
            return;
        }
        cloudMiss = written;
    }
    std::error_code notMade;
    platform::ensureFolder(folders_.documents, notMade);
    const Written written = writeInto(folders_.documents, notMade, name, *converted);
    if (!written.error) {
        if (cloudMiss) {
            platform::print(
                "The picture went to " + platform::quotedPath(written.file) +
                " in the local Documents folder: the cloud folder " +
                platform::quotedPath(cloudMiss->file.parent_path()) +
                (cloudMiss->folderNotMade ? " cannot be made (" : " cannot be written (") +
                cloudMiss->error.message() + ")");
        }
        addToPhotoLibrary(written.file, done);
        return;
    }
    if (cloudMiss) {
        printWriteFailure(cloudMiss->file, cloudMiss->error);
    }
    printWriteFailure(written.file, written.error);
    const bool full = written.error == std::errc::no_space_on_device;
    if (done) {
        done({full ? SaveOutcome::diskFull : SaveOutcome::notWritten, {}, written.error.message()});
    }
}

PhotoLibraryManager::Written PhotoLibraryManager::writeIntoCloud(const fs::path& folder,
                                                                 const std::string& name,
                                                                 const LibraryFile& converted) {
    std::error_code notMade;
    fs::create_directories(folder, notMade);
    return writeInto(folder, notMade, name, converted);
}

PhotoLibraryManager::Written PhotoLibraryManager::writeInto(const fs::path& folder,
                                                            const std::error_code& notMade,
                                                            const std::string& name,
                                                            const LibraryFile& converted) {
    if (notMade) {
        return {withExtension(folder / name, 1, converted.extension), notMade, true};
    }
    return writeNew(makeFileURL(folder, name), converted);
}

PhotoLibraryManager::Written PhotoLibraryManager::writeNew(const fs::path& url,
                                                           const LibraryFile& converted) {
    Written written;
    for (int attempt = 1; attempt <= maxNameAttempts; ++attempt) {
        written.file = withExtension(url, attempt, converted.extension);
        written.error = platform::writeFileAtomically(
            written.file,
            std::string_view(reinterpret_cast<const char*>(converted.data.data()),
                             converted.data.size()),
            false);
        if (written.error != std::errc::file_exists) {
            break;
        }
    }
    return written;
}

std::string PhotoLibraryManager::fileName(int index, const std::optional<std::string>& suffix) {
    static const platform::DateFormatter dateFormatter("_yyyyMMdd_HHmmss");
    std::string name = "QV";
    name += dateFormatter.format(platform::wallNow());
    if (suffix) {
        name += *suffix;
    } else if (index != 0) {
        name += '_';
        name += std::to_string(index);
    }
    return name;
}

std::optional<fs::path> PhotoLibraryManager::chosenCloudFolder() const {
    if (!isEnableCloudStorage.get() || !folders_.cloudContainer) {
        return std::nullopt;
    }
    return *folders_.cloudContainer / "Documents";
}

fs::path PhotoLibraryManager::makeFileURL(const fs::path& folder, const std::string& name) {
    const fs::path url = folder / name;
    platform::print("\nphoto URL:\n" + fileURL(url) + "\n");
    return url;
}

void PhotoLibraryManager::addToPhotoLibrary(const fs::path& file, SaveCompletion done) {
    library_.createAsset(
        file, [file, done = std::move(done)](bool success, std::optional<std::string> error) {
            if (success) {
                platform::print("save to PHOTOS successful");
            } else {
                platform::print("save to PHOTOS with error " + error.value_or(""));
            }
            if (done) {
                done({success ? SaveOutcome::saved : SaveOutcome::savedToFolderOnly, file,
                      error.value_or("")});
            }
        });
}

} // namespace qv
