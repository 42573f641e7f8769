#include "RecordLockFailure.hpp"

#include "RecordLockCommands.hpp"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>

namespace qv::platform::test {
namespace {

std::atomic<int> recordLockError{0}; // 0: locks go to the C library

// The C library's fcntl for what is not failed. Its argument, when the command has one, is an
// int or a pointer; the C library reads it as a pointer too.
int passedOn(int fd, int command, void* argument) {
    using Fcntl = int (*)(int, int, ...);
    static const auto library = reinterpret_cast<Fcntl>(::dlsym(RTLD_NEXT, "fcntl64"));
    if (qv::testing::isRecordLock(command)) {
        if (const int error = recordLockError.load(); error != 0) {
            errno = error;
            return -1;
        }
    }
    return library(fd, command, argument);
}

} // namespace

ScopedRecordLockFailure::ScopedRecordLockFailure(int error)
    : previous_(recordLockError.exchange(error)) {}

ScopedRecordLockFailure::~ScopedRecordLockFailure() {
    recordLockError.store(previous_);
}

} // namespace qv::platform::test

// SQLite's library calls fcntl64, code built without large-file names fcntl: one function
// under both names.
extern "C" int fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return qv::platform::test::passedOn(fd, command, argument);
}

extern "C" int fcntl64(int fd, int command, ...) __attribute__((alias("fcntl")));
