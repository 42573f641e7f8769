#pragma once
// Internal to the files layer: how a SharedJsonFile's file is read. The name is followed
// through its symbolic links to the file they end at, which is read within a bound; what
// stands in the way is judged: nothing there, unreadable (now, or lastingly), or proven bad,
// with what to set aside for it (the name itself when its links lead to a loop or to what is
// no regular file, never what they point to; the file they end at when that is a regular file
// too large) and the identity it had when it was judged. Links that end at a name where no
// file is (yet) are nothing there: the file is made at that name, through the links, once its
// folder is there.

#include "platform/files/FileIdentity.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>

namespace qv::platform::detail {

struct MissingFile {
    // The folder the file is to be made in when it is not there (the links lead into a disk
    // that is not mounted, say): nothing can be written until it is back. Empty otherwise.
    std::filesystem::path absentFolder;
};
struct ProvenBad {
    std::string problem; // completes "could not be read (...)": "it is a FIFO, not a regular file"
    std::filesystem::path judged; // what is set aside
    FileIdentity identity;        // the judged file's, when it was judged
    bool loopsBack = false;       // a link whose links lead back to itself
};
struct UnreadableFile {
    std::string reason;   // the reader's: "cannot be read (Permission denied)"
    bool lasting = false; // a cause no later try gets past (isLastingError)
};
struct FileBytes {
    std::string bytes;
    FileIdentity identity; // of the file they were read from
};

struct SharedFileReading {
    std::variant<FileBytes, MissingFile, ProvenBad, UnreadableFile> found;
    // Where the content is read and written: the name, or the file its links end at.
    std::filesystem::path content;
};

SharedFileReading readSharedFile(const std::filesystem::path& file, std::uintmax_t maximumBytes);

} // namespace qv::platform::detail
