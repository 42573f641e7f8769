#pragma once
// The text clipboard as the views see it. A long press on a selectable text
// (View::textSelection) copies the whole text here. The window host serves it with
// the desktop's clipboard through the hook; without a host (tests) the text stays
// in the process, where `text()` reads it back.
//
// Threads: main thread only, like the views that write it.

#include <functional>
#include <string>

namespace qv::platform::ui {

class Clipboard {
public:
    using Hook = std::function<void(const std::string& text)>;

    /// Puts `text` on the clipboard (and hands it to the hook, when one is set).
    static void setText(const std::string& text);
    /// The text last put on the clipboard by this process.
    static const std::string& text();
    /// Sets the hook that carries texts to the desktop (an empty function removes it);
    /// returns the previous hook.
    static Hook setHook(Hook hook);
};

} // namespace qv::platform::ui
