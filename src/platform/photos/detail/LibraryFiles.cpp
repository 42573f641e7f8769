#include "platform/photos/detail/LibraryFiles.hpp"

#include "platform/files/TemporaryFiles.hpp"

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
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code notFolder;
        if (it->is_directory(notFolder) && isNumber(it->path().filename().string(), digits)) {
            found.push_back(it->path());
        }
    }
    return found;
}

} // namespace

std::vector<std::filesystem::path> libraryFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& year : subfolders(folder, 4)) {
        for (const auto& month : subfolders(year, 2)) {
            removeStaleTemporaryFiles(month);
            std::error_code error;
            for (std::filesystem::directory_iterator it(month, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code notFile;
                if (it->is_regular_file(notFile) &&
                    !isTemporaryName(it->path().filename().string())) {
                    files.push_back(it->path());
                }
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool isLibraryFile(const std::filesystem::path& folder, const std::filesystem::path& file) {
    const std::filesystem::path month = file.parent_path();
    const std::filesystem::path year = month.parent_path();
    std::error_code error;
    return year.parent_path() == folder && isNumber(year.filename().string(), 4) &&
           isNumber(month.filename().string(), 2) && !isTemporaryName(file.filename().string()) &&
           std::filesystem::is_regular_file(file, error);
}

} // namespace qv::platform::detail
