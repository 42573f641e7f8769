#pragma once
// Stand-ins for the desktop's programs (xdg-open, xdg-email, xdg-mime...), so tests of
// the hand-offs see exactly what a program was given and no real browser or mail program
// ever starts.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

// Sets an environment variable (or unsets it, for nothing) while it lives; restores the
// old value when it goes.
class EnvironmentOverride {
public:
    EnvironmentOverride(std::string name, const std::optional<std::string>& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// A folder of stub programs that is the whole $PATH while it lives.
class StubPrograms {
public:
    StubPrograms();
    ~StubPrograms();
    StubPrograms(const StubPrograms&) = delete;
    StubPrograms& operator=(const StubPrograms&) = delete;

    // A program `name` that records its arguments, writes `output` to its standard output
    // and exits with `status`.
    void add(const std::string& name, int status = 0, const std::string& output = "");
    // A program `name` that ends itself with SIGKILL.
    void addKilled(const std::string& name);
    void remove(const std::string& name);

    // The arguments (without the program's name) of each run of `name`, oldest first.
    std::vector<std::vector<std::string>> runs(const std::string& name) const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    void write(const std::string& name, const std::string& tail);

    std::filesystem::path folder_;
    EnvironmentOverride path_;
};

} // namespace qv::testing
