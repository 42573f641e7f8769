#pragma once

#include "platform/console/Describe.hpp"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

// The app's console output. print("Adding photo takes ", 0.25) writes each item's
// describe() text, joined by a separator (default " ") and followed by a terminator
// (default "\n"); Separator{...} and Terminator{...} may be passed anywhere among the items:
//   print("a", 1, Separator{", "}, Terminator{""})  -> "a, 1"
// The whole text of one call reaches the sink in one piece under one lock, so lines from
// different threads never interleave. The sink is stdout unless a test captures it.
struct Separator {
    std::string_view text;
};
struct Terminator {
    std::string_view text;
};

// Where console text goes. It is called with the lock held: it must not print itself.
using ConsoleSink = std::function<void(std::string_view)>;

// Replaces the sink (an empty function restores stdout); returns the previous one.
ConsoleSink setConsoleSink(ConsoleSink sink);

// Writes one call's finished text to the sink.
void writeConsole(std::string_view text);

// A write to a standard output or error that nobody reads any more (`quarn-vesil | head -c1`
// after head has gone, a closed terminal) fails quietly: SIGPIPE is ignored for the whole
// process, so such a write returns EPIPE (or EIO) instead of ending the app, the text is
// lost, and the app goes on. The app calls it once at its start; programs it starts get the
// default back, as they get every signal not ignored when the app started (ChildSignals.hpp).
void keepGoingWhenOutputCloses();

namespace detail {

struct PrintParts {
    std::vector<std::string> items;
    std::string_view separator = " ";
    std::string_view terminator = "\n";

    void add(const Separator& s) { separator = s.text; }
    void add(const Terminator& t) { terminator = t.text; }
    template <typename T>
    void add(const T& item) {
        items.push_back(describe(item));
    }
    std::string finish() const;
};

} // namespace detail

template <typename... Items>
void print(const Items&... items) {
    detail::PrintParts parts;
    (parts.add(items), ...);
    writeConsole(parts.finish());
}

// Captures console output for the lifetime of the object (tests); restores the previous
// sink when it goes. Captures may nest.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // Everything printed since the capture began.
    std::string text() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    ConsoleSink previous_;
};

} // namespace qv::platform
