#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace qv::fuzz {

// A private folder for the files one fuzz target works on: under /dev/shm when
// there is one (in memory, so the store's fsync calls cost nothing), else under
// the temp folder; named after the target and the process, removed with the
// object.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }

    // Removes everything inside the folder.
    void clear() const;
    // Every file in the folder (not in sub-folders) by name, with its bytes.
    std::map<std::string, std::string> contents() const;

    // Writes a file in the folder.
    std::filesystem::path write(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path folder_;
};

} // namespace qv::fuzz
