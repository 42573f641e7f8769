#include "platform/window/detail/XServerSocket.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace qv::platform::window::detail {

namespace {

// A display on another host that does not answer is named as such after this long, not after
// the minutes TCP would wait.
constexpr int kConnectMilliseconds = 2000;

// Whether a connection to `address` is accepted within the bound.
bool connects(int family, const sockaddr* address, socklen_t length) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    bool accepted = false;
    if (::connect(fd, address, length) == 0) {
        accepted = true;
    } else if (errno == EAGAIN) {
        accepted = true; // a local socket whose queue of connections is full: a server is there
    } else if (errno == EINPROGRESS) {
        pollfd ready{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        accepted = ::poll(&ready, 1, kConnectMilliseconds) == 1 &&
                   ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return accepted;
}

bool localListens(int number) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    // The abstract socket is named by the same path after a zero byte; a server in another
    // network namespace may offer only the file.
    for (const bool abstract : {true, false}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t start = abstract ? 1 : 0;
        if (start + path.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path + start, path.data(), path.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + start + path.size());
        if (connects(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length)) {
            return true;
        }
    }
    return false;
}

bool tcpListens(const std::string& host, int number) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &found) != 0) {
        return false;
    }
    bool listens = false;
    for (const addrinfo* address = found; address != nullptr && !listens;
         address = address->ai_next) {
        listens = connects(address->ai_family, address->ai_addr, address->ai_addrlen);
    }
    ::freeaddrinfo(found);
    return listens;
}

} // namespace

bool xServerListens(const std::string& display) {
    char* parsedHost = nullptr;
    int number = 0;
    int screen = 0;
    if (display.empty() || xcb_parse_display(display.c_str(), &parsedHost, &number, &screen) == 0) {
        return false;
    }
    const std::string host = parsedHost; // without a protocol written before a slash
    std::free(parsedHost);
    if (host.empty() || host == "unix") {
        return localListens(number);
    }
    return tcpListens(host, number);
}

} // namespace qv::platform::window::detail
