// A library preloaded (LD_PRELOAD) into a program under test so that it runs as on a file
// system without locks, such as a network one whose lock daemon does not answer: flock()
// fails with ENOLCK, and when QV_TEST_NO_LOCKS is "all", so do the record locks of fcntl()
// (F_SETLK, F_SETLKW, F_GETLK and their open-file forms). Every other call goes to the C
// library unchanged.

#include "RecordLockCommands.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>

namespace {

using Fcntl = int (*)(int, int, ...);

bool recordLocksFail() {
    const char* which = std::getenv("QV_TEST_NO_LOCKS");
    return which != nullptr && std::strcmp(which, "all") == 0;
}

// What the command's third argument is, so that it is forwarded as it was passed.
enum class Argument { none, integer, pointer };

Argument argumentOf(int command) {
    switch (command) {
    case F_GETFD:
    case F_GETFL:
    case F_GETOWN:
    case F_GETSIG:
    case F_GETLEASE:
    case F_GETPIPE_SZ:
    case F_GET_SEALS:
        return Argument::none;
    case F_DUPFD:
    case F_DUPFD_CLOEXEC:
    case F_SETFD:
    case F_SETFL:
    case F_SETOWN:
    case F_SETSIG:
    case F_SETLEASE:
    case F_NOTIFY:
    case F_SETPIPE_SZ:
    case F_ADD_SEALS:
        return Argument::integer;
    default:
        return Argument::pointer; // locks, owners, hints: a pointer to a structure
    }
}

// Makes a record lock fail, or calls `next` (the C library's fcntl) with the arguments as
// they came.
int forward(Fcntl next, int fd, int command, va_list arguments) {
    if (qv::testing::isRecordLock(command) && recordLocksFail()) {
        errno = ENOLCK;
        return -1;
    }
    switch (argumentOf(command)) {
    case Argument::none:
        return next(fd, command);
    case Argument::integer:
        return next(fd, command, va_arg(arguments, int));
    case Argument::pointer:
        break;
    }
    return next(fd, command, va_arg(arguments, void*));
}

} // namespace

extern "C" {

// Declared here rather than from <sys/file.h>, whose declaration cannot be matched portably.
int flock(int, int) {
    errno = ENOLCK;
    return -1;
}

int fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    static const auto next = reinterpret_cast<Fcntl>(::dlsym(RTLD_NEXT, "fcntl"));
    const int result = forward(next, fd, command, arguments);
    va_end(arguments);
    return result;
}

// The same call under its large-file name, which programs built with 64-bit file offsets
// (SQLite, say) call instead; on 64-bit systems the C library's two are one function too.
int fcntl64(int fd, int command, ...) __attribute__((alias("fcntl")));

} // extern "C"
