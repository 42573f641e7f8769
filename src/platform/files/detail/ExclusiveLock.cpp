#include "platform/files/detail/ExclusiveLock.hpp"

#include <cerrno>
#include <sys/file.h>
#include <thread>

namespace qv::platform::detail {

namespace {

// How often a held lock is tried again while waiting.
constexpr std::chrono::milliseconds retryEvery{2};

} // namespace

std::atomic<int>& injectedLockError() {
    static std::atomic<int> error{0};
    return error;
}

std::error_code lockExclusively(int fd, std::chrono::milliseconds patience,
                                const std::atomic<bool>* stop) {
    if (const int injected = injectedLockError().load()) {
        return {injected, std::generic_category()};
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return {};
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return {errno, std::generic_category()};
        }
        if ((stop != nullptr && stop->load()) || std::chrono::steady_clock::now() >= deadline) {
            return std::make_error_code(std::errc::resource_unavailable_try_again);
        }
        std::this_thread::sleep_for(retryEvery);
    }
}

} // namespace qv::platform::detail
