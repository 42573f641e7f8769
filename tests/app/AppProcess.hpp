#pragma once
// The built app as a process of its own, for the tests of its command line and of its
// window: started with an argument vector and an environment of the test's choosing (no
// shell), its standard output and standard error collected.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

// The environment a test gives the app: only these variables (and PATH, HOME and the
// sanitizers' options).
using Variables = std::map<std::string, std::string>;

struct AppExit {
    int status = -1; // the exit status; -1 when it did not exit by itself
    std::string standardOutput;
    std::string standardError;
};

class AppProcess {
public:
    AppProcess(const std::vector<std::string>& arguments, const Variables& variables);
    ~AppProcess(); // kills the process if it still runs
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) const;
    // Waits for the exit, at most `limit`; collects what the process wrote.
    AppExit wait(std::chrono::seconds limit = std::chrono::seconds(30));

private:
    int pid_ = -1;
    int output_ = -1;
    int error_ = -1;
};

// Runs the app to its end.
AppExit runApp(const std::vector<std::string>& arguments, const Variables& variables);

// The files under `folder`, relative, sorted; empty when it does not exist.
std::vector<std::string> filesUnder(const std::string& folder);

} // namespace qv::testing
