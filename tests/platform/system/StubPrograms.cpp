#include "StubPrograms.hpp"

#include "TestHome.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace qv::testing {

namespace {

std::filesystem::path makeFolder() {
    std::string pattern = (testHome() / "stub-programs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder for stub programs");
    }
    return pattern;
}

// `text` as one single-quoted word of the shell.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

EnvironmentOverride::EnvironmentOverride(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        saved_ = old;
    }
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

EnvironmentOverride::~EnvironmentOverride() {
    if (saved_) {
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

StubPrograms::StubPrograms() : folder_(makeFolder()), path_("PATH", folder_.string()) {}

StubPrograms::~StubPrograms() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void StubPrograms::add(const std::string& name, int status, const std::string& output) {
    write(name, "printf '%s' " + shellQuoted(output) + "\nexit " + std::to_string(status) + "\n");
}

void StubPrograms::addKilled(const std::string& name) {
    write(name, "kill -9 $$\n");
}

void StubPrograms::remove(const std::string& name) {
    std::filesystem::remove(folder_ / name);
}

void StubPrograms::write(const std::string& name, const std::string& tail) {
    // Only shell built-ins: $PATH holds nothing but the stubs.
    const std::string log = shellQuoted((folder_ / (name + ".run")).string());
    const std::filesystem::path file = folder_ / name;
    std::ofstream(file) << "#!/bin/sh\n"
                        << "n=0\nwhile [ -e " << log << "$n ]; do n=$((n + 1)); done\n"
                        << "printf '%s\\0' \"$#\" \"$@\" > " << log << "$n\n"
                        << tail;
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

std::vector<std::vector<std::string>> StubPrograms::runs(const std::string& name) const {
    std::vector<std::vector<std::string>> runs;
    for (int n = 0;; ++n) {
        std::ifstream in(folder_ / (name + ".run" + std::to_string(n)), std::ios::binary);
        if (!in) {
            return runs;
        }
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\0', start)) != std::string::npos;
             start = end + 1) {
            fields.push_back(text.substr(start, end - start));
        }
        if (fields.empty() || std::stoul(fields[0]) != fields.size() - 1) {
            throw std::runtime_error("a stub's record of its arguments is cut short");
        }
        runs.emplace_back(fields.begin() + 1, fields.end());
    }
}

} // namespace qv::testing
