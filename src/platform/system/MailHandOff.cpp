#include "platform/system/MailHandOff.hpp"

#include "platform/files/AtomicFile.hpp"
#include "platform/system/ProgramRunner.hpp"
#include "platform/system/Url.hpp"
#include "platform/system/detail/XdgTools.hpp"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace qv::platform {

namespace {

constexpr std::size_t kMaximumNameBytes = 255;

// The app's attachment folder: made on first use, removed with its files when the app
// ends (at the exit of the process).
class AttachmentFolder {
public:
    static AttachmentFolder& shared() {
        static AttachmentFolder folder;
        return folder;
    }
    ~AttachmentFolder() {
        if (path_) {
            std::error_code ignored;
            std::filesystem::remove_all(*path_, ignored);
        }
    }

    // A new, empty folder for one attachment; nothing when it cannot be made.
    std::optional<std::filesystem::path> makeSubfolder() {
        if (!path_) {
            return std::nullopt;
        }
        std::filesystem::path folder = *path_ / std::to_string(++made_);
        if (::mkdir(folder.c_str(), 0700) != 0) {
            return std::nullopt;
        }
        return folder;
    }

private:
    AttachmentFolder() {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::error_code error;
        std::filesystem::path parent = runtime != nullptr && *runtime != '\0'
                                           ? std::filesystem::path(runtime)
                                           : std::filesystem::temp_directory_path(error);
        std::string pattern = (parent / "quarn-vesil-mail-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) { // made private to the user (0700)
            path_ = pattern;
        }
    }

    std::optional<std::filesystem::path> path_;
    std::atomic<unsigned> made_{0}; // hand-offs of several mails may run at once
};

// Writes each attachment; their paths, or the reason one failed.
std::variant<std::vector<std::string>, std::string>
writeAttachments(const std::vector<MailAttachment>& attachments) {
    std::vector<std::string> paths;
    for (const MailAttachment& attachment : attachments) {
        const std::string name = attachmentFileName(attachment.fileName);
        const std::optional<std::filesystem::path> folder =
            AttachmentFolder::shared().makeSubfolder();
        if (!folder) {
            return "the attachment " + name + " could not be written: no attachment folder";
        }
        const std::filesystem::path file = *folder / name;
        if (const std::error_code error = writeFileAtomically(file, attachment.data, false)) {
            return "the attachment " + name + " could not be written: " + error.message();
        }
        paths.push_back(file.string());
    }
    return paths;
}

std::vector<std::string> xdgEmailArguments(const MailMessage& message,
                                           const std::vector<std::string>& attachmentPaths) {
    std::vector<std::string> arguments{"xdg-email", "--utf8"};
    // xdg-email refuses an empty subject or body as a missing one: leave them out.
    if (!message.subject.empty()) {
        arguments.insert(arguments.end(), {"--subject", message.subject});
    }
    if (!message.body.empty()) {
        arguments.insert(arguments.end(), {"--body", message.body});
    }
    for (const std::string& path : attachmentPaths) {
        arguments.push_back("--attach");
        arguments.push_back(path);
    }
    std::string to = "mailto:";
    for (const std::string& recipient : message.recipients) {
        if (to.back() != ':') {
            to += ',';
        }
        to += percentEncoded(recipient, "@");
    }
    arguments.push_back(to);
    return arguments;
}

} // namespace

bool canSendMail() {
    return findProgram("xdg-email") && detail::hasSchemeHandler("mailto");
}

std::string attachmentFileName(std::string_view fileName) {
    const std::size_t slash = fileName.rfind('/');
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    std::string name;
    for (const char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            name += c;
        }
    }
    if (name.size() > kMaximumNameBytes) {
        std::size_t end = kMaximumNameBytes;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) {
            --end; // never cut a UTF-8 character in two
        }
        name.resize(end);
    }
    if (name.empty() || name == "." || name == "..") {
        return "attachment";
    }
    return name;
}

void handOffMail(MailMessage message, std::function<void(const HandOffResult&)> completion) {
    runOffMain<HandOffResult>(
        [message = std::move(message)]() -> HandOffResult {
            auto written = writeAttachments(message.attachments);
            if (auto* why = std::get_if<std::string>(&written)) {
                return {false, "The mail was not handed over: " + *why};
            }
            const auto& paths = std::get<std::vector<std::string>>(written);
            return detail::handOffResult("xdg-email",
                                         runProgramAndWait(xdgEmailArguments(message, paths)));
        },
        std::move(completion));
}

} // namespace qv::platform
