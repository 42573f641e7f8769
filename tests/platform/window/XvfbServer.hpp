#pragma once
// A private X server for display tests: starts Xvfb on a free display number, points
// DISPLAY at it, and stops it again. The tests never use the developer's own display. From
// the moment it is reported running until it is destroyed, the display answers every client,
// however many come and go meanwhile (the server never resets). Its one screen is 1280 x 2048
// pixels of `depth` bits (24 unless a test asks for another, such as a 16-bit screen).
//
// A server started with `XvfbClients::noneLetIn` demands an authorization cookie that no
// client has: it answers every connection with a refusal, as a server of another user's
// session does.

#include <string>
#include <vector>

namespace qv::testing {

enum class XvfbClients { allLetIn, noneLetIn };

class XvfbServer {
public:
    explicit XvfbServer(int depth = 24, XvfbClients clients = XvfbClients::allLetIn);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }
    /// The server's process (its CPU time is read from /proc by the benchmarks).
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    std::string authority_; // the cookie file of a server that lets no client in
    std::string display_;
    std::string error_;
};

/// Runs a program with an argument vector (no shell) and waits for it; returns its exit
/// status, or -1 when it could not be started.
int runProgram(const std::vector<std::string>& argv);

} // namespace qv::testing
