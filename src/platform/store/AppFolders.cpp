#include "platform/store/AppFolders.hpp"

#include "platform/console/Console.hpp"

#include <cstdlib>
#include <system_error>

namespace qv::platform {

namespace {

std::optional<std::filesystem::path> environmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::filesystem::path home() {
    return environmentPath("HOME").value_or("/tmp");
}

} // namespace

AppFolders AppFolders::under(const std::filesystem::path& root) {
    return AppFolders{root, root / "Documents", root / "Photos", std::nullopt};
}

AppFolders AppFolders::fromEnvironment() {
    AppFolders folders;
    if (const auto root = environmentPath("QV_HOME")) {
        folders = under(*root);
    } else {
        const auto configHome = environmentPath("XDG_CONFIG_HOME").value_or(home() / ".config");
        const auto dataHome =
            environmentPath("XDG_DATA_HOME").value_or(home() / ".local" / "share");
        folders.config = configHome / "quarn-vesil";
        folders.documents = dataHome / "quarn-vesil" / "Documents";
        folders.photos = dataHome / "quarn-vesil" / "Photos";
    }
    folders.cloudContainer = environmentPath("QV_CLOUD_CONTAINER");
    return folders;
}

std::filesystem::path ensureFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        print("Could not create the folder " + folder.string() + ": " + error.message());
    }
    return folder;
}

std::filesystem::path AppFolders::configFolder() const {
    return ensureFolder(config);
}

std::filesystem::path AppFolders::documentsFolder() const {
    return ensureFolder(documents);
}

std::filesystem::path AppFolders::photosFolder() const {
    return ensureFolder(photos);
}

std::optional<std::filesystem::path> AppFolders::cloudDocumentsFolder() const {
    if (!cloudContainer) {
        return std::nullopt;
    }
    return ensureFolder(*cloudContainer / "Documents");
}

} // namespace qv::platform
