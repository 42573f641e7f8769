#include "support/ScratchFolder.hpp"

#include "support/FuzzCheck.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace qv::fuzz {

void checkFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

namespace {

std::filesystem::path scratchRoot() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path();
}

} // namespace

ScratchFolder::ScratchFolder(std::string_view name)
    : folder_(scratchRoot() / ("qv-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
}

void ScratchFolder::clear() const {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        std::filesystem::remove_all(entry.path());
    }
}

std::map<std::string, std::string> ScratchFolder::contents() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().filename().string()] = bytes.str();
    }
    return files;
}

std::filesystem::path ScratchFolder::write(const std::string& name, std::string_view bytes) const {
    const std::filesystem::path file = folder_ / name;
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file;
}

} // namespace qv::fuzz
