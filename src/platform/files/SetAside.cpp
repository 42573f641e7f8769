#include "platform/files/SetAside.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/formatting/DateFormatter.hpp"

#include <string>
#include <sys/stat.h>

namespace qv::platform {

namespace {

class SetAsideErrors final : public std::error_category {
public:
    const char* name() const noexcept override { return "set aside"; }
    std::string message(int) const override {
        return "the file was replaced after it was checked, so it was left in place";
    }
};

} // namespace

std::error_code fileReplacedSinceJudged() {
    static const SetAsideErrors category;
    return {1, category};
}

std::error_code renameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    std::error_code error;
    const Folder fromFolder = Folder::open(from.parent_path(), error);
    if (error) {
        return error;
    }
    const Folder toFolder =
        to.parent_path() == from.parent_path() ? Folder() : Folder::open(to.parent_path(), error);
    if (error) {
        return error;
    }
    return fromFolder.moveWithoutReplacing(
        from.filename().native(), toFolder ? toFolder : fromFolder, to.filename().native());
}

namespace {

// Whether `name` in `folder` is still the file judged: `error` says why not.
bool stillJudged(const Folder& folder, const std::string& name, const FileIdentity& judged,
                 std::error_code& error) {
    const std::optional<struct stat> now = folder.statusOf(name, error);
    if (now && FileIdentity{now->st_dev, now->st_ino} != judged) {
        error = fileReplacedSinceJudged();
    }
    return !error;
}

// Gives `claim` the aside names of `file` in turn, "<file>.corrupt_<date>", then "_2", "_3"...,
// until one is not taken (std::errc::file_exists); that name, or nothing with `error` set.
template <typename Claim>
std::filesystem::path firstFreeAsideName(const std::filesystem::path& file, Claim claim,
                                         std::error_code& error) {
    std::filesystem::path stem = file;
    stem +=
        ".corrupt" + DateFormatter("_yyyyMMdd_HHmmss", DateFormatter::Zone::utc).format(wallNow());
    std::filesystem::path aside = stem;
    for (int n = 2;; ++n) {
        error = claim(aside.filename().native());
        if (error != std::errc::file_exists) {
            return error ? std::filesystem::path{} : aside;
        }
        aside = stem;
        aside += '_';
        aside += std::to_string(n);
    }
}

} // namespace

std::filesystem::path setAside(const std::filesystem::path& file, const FileIdentity& judged,
                               std::error_code& error) {
    const Folder folder = Folder::open(file.parent_path(), error);
    const std::string name = file.filename();
    if (error || !stillJudged(folder, name, judged, error)) {
        return {};
    }
    return firstFreeAsideName(
        file,
        [&](const std::string& aside) { return folder.moveWithoutReplacing(name, folder, aside); },
        error);
}

std::filesystem::path setAsideLinkLoop(const std::filesystem::path& file,
                                       const FileIdentity& judged, std::error_code& error) {
    const Folder folder = Folder::open(file.parent_path(), error);
    const std::string name = file.filename();
    if (error || !stillJudged(folder, name, judged, error)) {
        return {};
    }
    // A link is never made over a name, so a name another process took is passed over.
    const std::filesystem::path aside = firstFreeAsideName(
        file, [&](const std::string& each) { return folder.makeLink(each, each); }, error);
    if (error) {
        return {};
    }
    // Checked again: the link judged goes only when it is still the one at the name.
    if (!stillJudged(folder, name, judged, error) || (error = folder.remove(name))) {
        folder.remove(aside.filename().native());
        return {};
    }
    return aside;
}

} // namespace qv::platform
