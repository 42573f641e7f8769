#pragma once
// Handing a mail to the user's mail program (the desktop's xdg-email), filled in and
// ready for the user to send.
//
// Threads: call on the main queue. The attachments are written and xdg-email runs off
// the main queue (ProgramRunner.hpp); the completion comes on the main queue.

#include "platform/system/HandOffResult.hpp"

#include <functional>
#include <string>
#include <vector>

namespace qv::platform {

struct MailAttachment {
    std::string data{};     // the bytes
    std::string mimeType{}; // the mail program picks the type from the file name's extension
    std::string fileName{}; // the name the attachment gets
};

struct MailMessage {
    std::string subject{};
    std::vector<std::string> recipients{}; // "To" addresses; none leaves the field empty
    std::string body{};                    // plain text
    std::vector<MailAttachment> attachments{};
};

// Whether a mail can be handed off: xdg-email is on $PATH and the desktop names a
// handler for mailto addresses.
bool canSendMail();

// Hands `message` to xdg-email:
//   - each attachment becomes a file in a folder of its own under the app's attachment
//     folder (private to the user, in $XDG_RUNTIME_DIR or the temporary folder), named by
//     its `fileName` reduced to a safe base name: the part after the last "/", control
//     characters dropped, at most 255 bytes; an empty name, "." or ".." becomes
//     "attachment". The files stay until the app ends: the mail program may read them
//     after xdg-email has returned;
//   - the recipients, percent-encoded and joined by ",", form one "mailto:" argument, so
//     an address beginning with "-" is never read as an option.
// The completion gets success once xdg-email has handed the mail over (exit status 0);
// whether the user then sends it is not known. Otherwise a failure with one line why
// (an attachment that could not be written, xdg-email missing or failing).
void handOffMail(MailMessage message, std::function<void(const HandOffResult&)> completion);

// The safe base name of an attachment's `fileName`, as described above.
std::string attachmentFileName(std::string_view fileName);

} // namespace qv::platform
