// A stand-in for qv-raw-developer that misbehaves as QV_FAKE_DEVELOPER says,
// so tests can show what the app does when the real one crashes or lies.
//   crash, abort     reads the file, then dies on SIGSEGV or SIGABRT
//   status           reads the file, then exits with status 3
//   huge             answers a picture of 100000 x 100000 pixels and writes on
//   cut              answers 4 x 4 pixels and sends only half of them
//   long             answers 4 x 4 pixels and sends more than them
//   chatty           answers an error with a message of a megabyte
//   tiny             answers 2 x 1 pixels, the file's size in every sample

#include "platform/imaging/detail/DevelopmentAnswer.hpp"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using qv::platform::imaging::detail::DevelopmentAnswer;

namespace {

void send(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size);
        if (n <= 0) {
            std::_Exit(4);
        }
        p += n;
        size -= std::size_t(n);
    }
}

std::size_t readInput() {
    std::size_t total = 0;
    char chunk[4096];
    for (ssize_t n; (n = ::read(STDIN_FILENO, chunk, sizeof chunk)) > 0;) {
        total += std::size_t(n);
    }
    return total;
}

} // namespace

int main() {
    const char* value = std::getenv("QV_FAKE_DEVELOPER");
    const std::string mode = value ? value : "";
    const std::size_t fileSize = readInput();
    DevelopmentAnswer answer;
    if (mode == "crash") {
        // Dies by the signal itself, also where a sanitizer would catch it.
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    } else if (mode == "abort") {
        std::abort();
    } else if (mode == "status") {
        return 3;
    } else if (mode == "huge") {
        answer.width = answer.height = 100000;
        send(&answer, sizeof answer);
        const std::vector<char> zeros(1 << 20);
        for (;;) {
            send(zeros.data(), zeros.size());
        }
    } else if (mode == "cut" || mode == "long") {
        answer.width = answer.height = 4;
        send(&answer, sizeof answer);
        const std::vector<char> samples(mode == "cut" ? 48 : 96 + 8);
        send(samples.data(), samples.size());
    } else if (mode == "chatty") {
        const std::string message(1 << 20, 'x');
        answer.status = -1;
        answer.messageBytes = std::uint32_t(message.size());
        send(&answer, sizeof answer);
        send(message.data(), message.size());
    } else if (mode == "tiny") {
        answer.width = 2;
        answer.height = 1;
        send(&answer, sizeof answer);
        const std::vector<std::uint16_t> samples(6, std::uint16_t(fileSize));
        send(samples.data(), samples.size() * 2);
    }
    return 0;
}
