#include "platform/files/AppFolders.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <cstdlib>
#include <system_error>

namespace qv::platform {

AppFolders AppFolders::under(const std::filesystem::path& root) {
    return AppFolders{root, root / "Documents", root / "Photos", std::nullopt};
}

AppFolders AppFolders::fromEnvironment() {
    return fromVariables([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    });
}

AppFolders AppFolders::fromVariables(
    const std::function<std::optional<std::string>(const char* name)>& variable) {
    const auto path = [&variable](const char* name) -> std::optional<std::filesystem::path> {
        const auto value = variable(name);
        if (!value || value->empty()) {
            return std::nullopt;
        }
        return std::filesystem::path(*value);
    };
    AppFolders folders;
    if (const auto root = path("QV_HOME")) {
        folders = under(*root);
    } else {
        const auto home = path("HOME").value_or("/tmp");
        const auto configHome = path("XDG_CONFIG_HOME").value_or(home / ".config");
        const auto dataHome = path("XDG_DATA_HOME").value_or(home / ".local" / "share");
        folders.config = configHome / "quarn-vesil";
        folders.documents = dataHome / "quarn-vesil" / "Documents";
        folders.photos = dataHome / "quarn-vesil" / "Photos";
    }
    folders.cloudContainer = path("QV_CLOUD_CONTAINER");
    return folders;
}

std::filesystem::path ensureFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string cause = "folder " + folder.string();
    if (error) {
        printFailure(cause,
                     "Could not create the folder " + quotedPath(folder) + ": " + error.message());
    } else {
        failureRecovered(cause);
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
