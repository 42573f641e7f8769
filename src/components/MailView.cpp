#include "components/MailView.hpp"

#include "platform/system/MailHandOff.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

constexpr const char* kNoMailProgram = "No mail program is set up on this computer.";

platform::MailMessage message(const MailData& mail) {
    platform::MailMessage m;
    m.subject = mail.subject;
    m.recipients = mail.recipients.value_or(std::vector<std::string>{});
    m.body = mail.message;
    for (const auto& a : mail.attachments.value_or(std::vector<AttachmentData>{})) {
        m.attachments.push_back({a.data, a.mimeType, a.fileName});
    }
    return m;
}

} // namespace

bool MailView::canSendMail() {
    return platform::canSendMail();
}

View MailView::body() const {
    const auto mail = data;
    const auto report = callback;
    const auto dismiss = currentEnvironment().dismiss;
    const auto noMailProgram = showsNoMailProgram.binding();
    auto finish = [report, dismiss](const MailResult& result) {
        if (report) {
            report(result);
        }
        dismiss();
    };
    return View(Color::black())
        .ignoresSafeArea()
        .testTag("mail")
        .onAppear([mail, finish, noMailProgram] {
            if (!platform::canSendMail()) {
                noMailProgram.set(true);
                return;
            }
            platform::handOffMail(
                message(mail.get()), [finish](const platform::HandOffResult& handOff) {
                    finish(handOff.succeeded ? MailResult::success(MailComposeResult::saved)
                                             : MailResult::failure(handOff.failure));
                });
        })
        .alert("No Mail Program", noMailProgram, kNoMailProgram,
               {{"OK", ButtonRole::cancel,
                 [finish] { finish(MailResult::failure(kNoMailProgram)); }}});
}

} // namespace qv
