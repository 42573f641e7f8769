#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qv::platform {

// The app's folders:
//   with $QV_HOME set:  config = $QV_HOME, documents = $QV_HOME/Documents,
//                       photos = $QV_HOME/Photos
//   otherwise:          config = $XDG_CONFIG_HOME/quarn-vesil (default ~/.config/quarn-vesil),
//                       documents = $XDG_DATA_HOME/quarn-vesil/Documents
//                       (default ~/.local/share/quarn-vesil/Documents), photos = .../Photos
//                       where ~ is $HOME, or the user's home in the password database when
//                       HOME is unset (getpwuid_r). A relative XDG_CONFIG_HOME, XDG_DATA_HOME
//                       or HOME is ignored, as the XDG base directory specification says, with
//                       one line ("XDG_DATA_HOME is ignored: 'data' is not an absolute path",
//                       once per value). Without any home, one line says so and /tmp serves.
//   cloud container:    $QV_CLOUD_CONTAINER when set, else none; its files go to its
//                       "Documents" folder.
// The *Folder() accessors create the folder (and its parents) on demand. When that fails
// they print one line saying which folder and why (once, until the folder can be made or the
// reason changes: console/FailureLines.hpp), and still return the path, so the write that
// follows fails with its own message and nothing else changes.
struct AppFolders {
    std::filesystem::path config;
    std::filesystem::path documents;
    std::filesystem::path photos;
    std::optional<std::filesystem::path> cloudContainer;

    // The folders the environment names (read at each call).
    static AppFolders fromEnvironment();
    // The folders named by `variable`, which gives a variable's value (nothing when unset);
    // an empty value counts as unset.
    static AppFolders
    fromVariables(const std::function<std::optional<std::string>(const char* name)>& variable);
    // The layout under one root, as with QV_HOME=root (tests).
    static AppFolders under(const std::filesystem::path& root);

    std::filesystem::path configFolder() const;
    std::filesystem::path documentsFolder() const;
    std::filesystem::path photosFolder() const;
    // The cloud container's Documents folder, or nothing when there is no container.
    std::optional<std::filesystem::path> cloudDocumentsFolder() const;
};

// Creates `folder` and its parents if missing; prints why when that fails (once per folder
// and reason). Returns `folder`; `error`, when given, says why it could not be made (so that
// a write into it fails with that cause, not with the missing folder's).
std::filesystem::path ensureFolder(const std::filesystem::path& folder);
std::filesystem::path ensureFolder(const std::filesystem::path& folder, std::error_code& error);

} // namespace qv::platform
