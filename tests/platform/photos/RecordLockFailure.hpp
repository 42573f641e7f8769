#pragma once
// A file system without POSIX record locks, for the photo library's tests.

namespace qv::platform::test {

// While one lives, every POSIX record lock of this process (fcntl's F_SETLK, F_SETLKW and
// F_GETLK, and their open file description forms) fails with `error` (ENOLCK, as a network
// file system whose lock daemon does not answer), from any thread: also those SQLite takes,
// since this test program's fcntl and fcntl64 come before the C library's for every library
// it loads. Other fcntl commands go to the C library. Forked children keep it. Made and
// dropped by the test's thread.
class ScopedRecordLockFailure {
public:
    explicit ScopedRecordLockFailure(int error);
    ~ScopedRecordLockFailure();
    ScopedRecordLockFailure(const ScopedRecordLockFailure&) = delete;
    ScopedRecordLockFailure& operator=(const ScopedRecordLockFailure&) = delete;

private:
    int previous_;
};

} // namespace qv::platform::test
