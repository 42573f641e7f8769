#pragma once
// Internal to the files layer: the bounded wait for an exclusive flock() that the lock of a
// shared file and the writer of a temporary file both take.

#include <atomic>
#include <chrono>
#include <system_error>

namespace qv::platform::detail {

// Takes an exclusive flock on `fd`, trying again every few milliseconds while another open
// file holds it, for at most `patience` on the real clock (the holder is another process or
// thread, which no virtual clock moves), or until `stop` (when given) is set. A `patience` of
// zero tries once. Empty when taken; std::errc::resource_unavailable_try_again when still
// held at the end; otherwise the error flock() gave (locks not supported on that file
// system: ENOLCK, EOPNOTSUPP...), or the one a test injects (injectedLockError).
std::error_code lockExclusively(int fd, std::chrono::milliseconds patience,
                                const std::atomic<bool>* stop = nullptr);

// The errno every lockExclusively fails with while a test makes locks fail
// (ScopedLockFailure, FileLock.hpp), or 0. Set by the test's thread, read by any.
std::atomic<int>& injectedLockError();

} // namespace qv::platform::detail
