#pragma once
// The window's own layer above the app's tree: the permission prompt and the app's page
// of the settings (the permissions panel). Both are modal: while one shows, the app below
// takes no input. Prompts that come while one shows wait their turn.
//
// Threads: the main thread only.

#include "platform/permissions/Permissions.hpp"
#include "platform/ui/views/View.hpp"

#include <deque>
#include <functional>

namespace qv::platform::window {

class SystemOverlay {
public:
    // Shows the prompts of `permissions` and the panel the settings address opens (it
    // becomes the prompt presenter and the settings page); `changed` is called whenever
    // what it shows changes, so the scene rebuilds.
    SystemOverlay(Permissions& permissions, std::function<void()> changed);
    // Hands the presenter and the settings page back (none); a prompt still open goes
    // unanswered (nothing is granted or stored).
    ~SystemOverlay();
    SystemOverlay(const SystemOverlay&) = delete;
    SystemOverlay& operator=(const SystemOverlay&) = delete;

    // Empty while nothing shows. The prompt's buttons are tagged "permission-allow" and
    // "permission-deny", the panel's close button "settings-done".
    ui::View body();
    bool isShowing() const { return !prompts_.empty() || panelShown_; }

    void showSettingsPanel();

private:
    struct OpenPrompt {
        PermissionPrompt prompt;
        Permissions::PromptAnswer answer;
    };
    ui::View promptView(const OpenPrompt& open);
    ui::View panelView();
    void answer(bool allow);

    Permissions& permissions_;
    std::function<void()> changed_;
    std::deque<OpenPrompt> prompts_;
    bool panelShown_ = false;
};

} // namespace qv::platform::window
