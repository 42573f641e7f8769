#include "platform/files/detail/SharedFileReading.hpp"

#include "platform/files/RegularFile.hpp"
#include "platform/files/SymbolicLinks.hpp"
#include "platform/formatting/QuotedText.hpp"

namespace qv::platform::detail {

namespace {

using Found = decltype(SharedFileReading::found);

// "(No such file or directory)".
std::string inParentheses(const std::error_code& error) {
    std::string reason = "(";
    reason += error.message();
    reason += ')';
    return reason;
}

bool isMissing(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

// Links that end at a name where no file is: the file is made there when its folder is.
MissingFile missingTarget(const FollowedLinks& followed) {
    std::filesystem::path folder = followed.end.parent_path();
    std::error_code error;
    if (std::filesystem::is_directory(folder.empty() ? "." : folder, error)) {
        folder.clear();
    }
    return MissingFile{std::move(folder)};
}

// What a name whose links cannot be followed to a name that can be looked at is.
Found unfollowed(const std::filesystem::path& file, const FollowedLinks& followed) {
    const std::error_code& error = followed.error;
    const std::string why = inParentheses(error);
    if (followed.links == 0 && !followed.foreignOwner) {
        // The name itself cannot be looked at: missing (or a folder on the way is a file,
        // which the write reports as it makes the folder), or a cause in the path.
        if (isMissing(error)) {
            return MissingFile{};
        }
        return UnreadableFile{"cannot be read " + why, isLastingError(error)};
    }
    if (isMissing(error)) { // a loop back is ELOOP
        return missingTarget(followed);
    }
    // A link that leads to no file it could make is the bad file itself.
    ProvenBad bad{{}, file, followed.first, followed.loopsBack};
    const std::string toEnd = "is a link to " + quotedPath(followed.end) + ", which ";
    if (followed.foreignOwner) {
        bad.problem =
            (followed.links == 0 ? std::string("it is a link") : "it " + toEnd + "is a link") +
            " of another user (uid " + std::to_string(*followed.foreignOwner) +
            "), which the app does not follow";
    } else if (followed.loopsBack) {
        bad.problem = "it is a link that leads back to itself";
    } else if (isLastingError(error)) {
        bad.problem = "it " + toEnd + "leads to no file " + why;
    } else {
        return UnreadableFile{toEnd + "cannot be read " + why, false};
    }
    return bad;
}

// What the reader's problem with the file the links end at makes of the name.
Found refused(const std::filesystem::path& file, const FollowedLinks& followed,
              const FileProblem& problem, const FileIdentity& identity) {
    const bool linked = followed.links > 0;
    const std::string reason =
        linked ? "is a link to " + quotedPath(followed.end) + ", which " + problem.reason
               : problem.reason;
    switch (problem.kind) {
    case FileProblem::Kind::missing:
        // Gone since its links were followed: as if it had been missing then (the app's own
        // folder is made by the write).
        return linked ? missingTarget(followed) : MissingFile{};
    case FileProblem::Kind::notRegular:
        // A link to a device or a FIFO is set aside itself, never what it points to.
        return ProvenBad{"it " + reason, file, linked ? followed.first : identity, false};
    case FileProblem::Kind::tooLarge:
        return ProvenBad{"it " + problem.reason, followed.end, identity, false};
    case FileProblem::Kind::unreadable:
        return UnreadableFile{reason, false};
    case FileProblem::Kind::unreachable:
        return UnreadableFile{reason, true};
    }
    return UnreadableFile{reason, false};
}

} // namespace

SharedFileReading readSharedFile(const std::filesystem::path& file, std::uintmax_t maximumBytes) {
    const FollowedLinks followed = followLinks(file);
    if (followed.error) {
        Found found = unfollowed(file, followed);
        // A missing file is made where the links end; what is set aside is the name itself.
        const bool madeAtTheEnd = std::holds_alternative<MissingFile>(found);
        return {std::move(found), madeAtTheEnd ? followed.end : file};
    }
    FileBytes read;
    if (const std::optional<FileProblem> problem =
            readRegularFile(followed.end, maximumBytes, read.bytes, &read.identity)) {
        return {refused(file, followed, *problem, read.identity), followed.end};
    }
    return {std::move(read), followed.end};
}

} // namespace qv::platform::detail
