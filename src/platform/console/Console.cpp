#include "platform/console/Console.hpp"

#include "platform/console/ChildSignals.hpp"

#include <csignal>
#include <cstdio>
#include <mutex>

namespace qv::platform {

namespace {

// One lock around the sink: a call's text is written whole, and the sink is swapped only
// between writes.
std::mutex& consoleMutex() {
    static std::mutex mutex;
    return mutex;
}

ConsoleSink& currentSink() {
    static ConsoleSink sink;
    return sink;
}

void writeStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

std::string quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\0':
            result += "\\0";
            break;
        default:
            result += c;
        }
    }
    return result + "\"";
}

ConsoleSink setConsoleSink(ConsoleSink sink) {
    std::lock_guard lock(consoleMutex());
    ConsoleSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

void writeConsole(std::string_view text) {
    std::lock_guard lock(consoleMutex());
    if (currentSink()) {
        currentSink()(text);
    } else {
        writeStdout(text);
    }
}

void keepGoingWhenOutputCloses() {
    recordSignalsIgnoredAtStart(); // before SIGPIPE is ignored for the app's own sake
    std::signal(SIGPIPE, SIG_IGN);
}

std::string detail::PrintParts::finish() const {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += items[i];
    }
    return text += terminator;
}

struct ConsoleCapture::Shared {
    mutable std::mutex mutex; // the sink appends under the console lock; text() reads outside it
    std::string text;
};

ConsoleCapture::ConsoleCapture() : shared_(std::make_shared<Shared>()) {
    previous_ = setConsoleSink([shared = shared_](std::string_view text) {
        std::lock_guard lock(shared->mutex);
        shared->text += text;
    });
}

ConsoleCapture::~ConsoleCapture() {
    setConsoleSink(std::move(previous_));
}

std::string ConsoleCapture::text() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->text;
}

} // namespace qv::platform
