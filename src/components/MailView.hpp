#pragma once
// Composes a mail in the user's mail program. On the desktop the composer is the mail
// program itself: when MailView appears it hands its MailData to the desktop
// (xdg-email, platform/system/MailHandOff.hpp), shows black while the hand-off runs,
// then reports the outcome to `callback` and dismisses itself (the `dismiss` of the
// presentation it stands in). A hand-off that succeeded reports `saved`: the mail waits
// in the mail program, and whether the user sends it is not known here. Where no mail
// program is set up (canSendMail() false), an alert "No Mail Program" says so; its
// "OK" reports a failure and dismisses.
//
// A later change of `data` does not reach a mail already handed off.

#include "components/MailData.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

/// How a composer ended.
enum class MailComposeResult { cancelled, saved, sent, failed };

/// The outcome told to MailView's callback: success with the composer's result, or
/// failure with one line why.
struct MailResult {
    std::optional<MailComposeResult> result; // absent on failure
    std::string error;

    static MailResult success(MailComposeResult r) { return {r, {}}; }
    static MailResult failure(std::string why) { return {std::nullopt, std::move(why)}; }
    bool succeeded() const { return result.has_value(); }
};

struct MailView {
    platform::Binding<MailData> data;
    std::function<void(const MailResult&)> callback; // may be empty
    platform::ui::State<bool> showsNoMailProgram{false};

    platform::ui::View body() const; // tagged "mail"

    /// Whether a mail program can take a mail; ask before presenting MailView.
    static bool canSendMail();
};

} // namespace qv
