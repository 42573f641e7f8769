#include "platform/files/SetAside.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/formatting/DateFormatter.hpp"

namespace qv::platform {

std::filesystem::path setAside(const std::filesystem::path& file, std::error_code& error) {
    std::filesystem::path stem = file;
    stem +=
        ".corrupt" + DateFormatter("_yyyyMMdd_HHmmss", DateFormatter::Zone::utc).format(wallNow());
    std::filesystem::path aside = stem;
    for (int n = 2; std::filesystem::exists(aside, error); ++n) {
        aside = stem;
        aside += '_';
        aside += std::to_string(n);
    }
    std::filesystem::rename(file, aside, error);
    return aside;
}

} // namespace qv::platform
