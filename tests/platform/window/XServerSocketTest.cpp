// What tells an X server that refuses the app from a display where none runs: something takes
// connections at the display's socket. Sockets the test listens on stand in for servers, on the
// paths and ports X uses.

#include "platform/window/detail/XServerSocket.hpp"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qv::platform::window::detail {
namespace {

// A listening socket, closed at the end.
class Listener {
public:
    explicit Listener(int fd) : fd_(fd) {}
    ~Listener() { stop(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    bool listening() const { return fd_ >= 0; }
    void stop() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

// Listens on the abstract socket of local display `number`, as a server on Linux does.
int listenLocally(int number) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(address.sun_path + 1, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 1) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Listens on a free TCP port of the loopback address above 6000; sets `number` to the display
// it is the port of.
int listenOnTcp(int& number) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ntohs(address.sin_port) <= 6000) {
        ::close(fd);
        return -1;
    }
    number = ntohs(address.sin_port) - 6000;
    return fd;
}

TEST(XServerSocket, SomethingListensAtTheLocalSocketOrTcpPortOfTheDisplayUntilItStops) {
    // A display number no test's Xvfb takes (they count up from 0).
    const int local = 40000 + static_cast<int>(::getpid() % 20000);
    Listener server(listenLocally(local));
    ASSERT_TRUE(server.listening());
    EXPECT_TRUE(xServerListens(":" + std::to_string(local)));
    EXPECT_TRUE(xServerListens("unix:" + std::to_string(local) + ".0"));
    server.stop();
    EXPECT_FALSE(xServerListens(":" + std::to_string(local)));

    int number = 0;
    Listener remote(listenOnTcp(number));
    ASSERT_TRUE(remote.listening());
    const std::string display = "127.0.0.1:" + std::to_string(number);
    EXPECT_TRUE(xServerListens(display));
    remote.stop();
    EXPECT_FALSE(xServerListens(display));

    for (const char* notADisplay : {"", "no-colon", ":x"}) {
        EXPECT_FALSE(xServerListens(notADisplay)) << notADisplay;
    }
}

} // namespace
} // namespace qv::platform::window::detail
