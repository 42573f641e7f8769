#include "platform/photos/detail/LibraryFiles.hpp"

#include <algorithm>
#include <cctype>

namespace qv::platform::detail {

namespace {

bool isNumber(const std::string& text, std::size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) != 0;
           });
}

std::vector<std::filesystem::path> subfolders(const std::filesystem::path& folder,
                                              std::size_t digits) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_directory(error) && isNumber(entry.path().filename().string(), digits)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

} // namespace

bool isTemporaryName(const std::string& name) {
    return name.find(".tmp-") != std::string::npos;
}

std::vector<std::filesystem::path> libraryFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& year : subfolders(folder, 4)) {
        for (const auto& month : subfolders(year, 2)) {
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(month, error)) {
                if (!entry.is_regular_file(error)) {
                    continue;
                }
                if (isTemporaryName(entry.path().filename().string())) {
                    std::filesystem::remove(entry.path(), error);
                } else {
                    files.push_back(entry.path());
                }
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace qv::platform::detail
