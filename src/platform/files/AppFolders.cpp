#include "platform/files/AppFolders.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

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

namespace {

// The home folder the password database gives this process's user, or nothing.
std::optional<std::filesystem::path> homeFromPasswordDatabase() {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? std::size_t(suggested) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
            return std::nullopt;
        }
        return std::filesystem::path(found->pw_dir);
    }
}

} // namespace

AppFolders AppFolders::fromVariables(
    const std::function<std::optional<std::string>(const char* name)>& variable) {
    const auto path = [&variable](const char* name) -> std::optional<std::filesystem::path> {
        const auto value = variable(name);
        if (!value || value->empty()) {
            return std::nullopt;
        }
        return std::filesystem::path(*value);
    };
    // A base folder given as a relative path would follow the working folder; the XDG base
    // directory rules say to ignore it, and a relative HOME is no better.
    const auto absolute = [&path](const char* name) -> std::optional<std::filesystem::path> {
        auto value = path(name);
        const std::string cause = std::string("variable ") + name;
        if (value && value->is_relative()) {
            printFailure(cause, std::string(name) + " is ignored: " + quotedPath(*value) +
                                    " is not an absolute path");
            return std::nullopt;
        }
        failureRecovered(cause);
        return value;
    };
    AppFolders folders;
    if (const auto root = path("QV_HOME")) {
        folders = under(*root);
    } else {
        auto home = absolute("HOME");
        if (!home) {
            home = homeFromPasswordDatabase();
        }
        if (!home) {
            printFailure("home", "There is no home folder (HOME is not set and the password "
                                 "database has none for this user); the settings and pictures "
                                 "are kept under '/tmp'");
            home = "/tmp";
        }
        const auto configHome = absolute("XDG_CONFIG_HOME").value_or(*home / ".config");
        const auto dataHome = absolute("XDG_DATA_HOME").value_or(*home / ".local" / "share");
        folders.config = configHome / "quarn-vesil";
        folders.documents = dataHome / "quarn-vesil" / "Documents";
        folders.photos = dataHome / "quarn-vesil" / "Photos";
    }
    folders.cloudContainer = path("QV_CLOUD_CONTAINER");
    return folders;
}

std::filesystem::path ensureFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return ensureFolder(folder, error);
}

std::filesystem::path ensureFolder(const std::filesystem::path& folder, std::error_code& error) {
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
