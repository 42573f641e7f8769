#pragma once
// A mail to compose: subject, recipients, plain-text body and attachments.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct AttachmentData {
    std::string data; // the bytes
    std::string mimeType;
    std::string fileName; // the name shown in the mail

    /// A text attachment: its UTF-8 bytes, "text/plain", "sysinfo.txt".
    static AttachmentData fromText(std::string_view text);
};

struct MailData {
    std::string subject{};
    std::optional<std::vector<std::string>> recipients{};     // absent: the "To" field stays empty
    std::string message{};                                    // plain text
    std::optional<std::vector<AttachmentData>> attachments{}; // in order; absent: none

    /// No subject, recipients, message or attachments.
    static const MailData empty;
};

} // namespace qv
