#pragma once
// The fcntl() commands that take, test or give back a record lock: those a test makes fail
// to run code as on a file system without locks (NoLocksShim.cpp, the photo library's
// RecordLockFailure). Header-only, as the preloaded library links nothing of the tests'.

#include <fcntl.h>

namespace qv::testing {

inline bool isRecordLock(int command) {
    switch (command) {
    case F_SETLK:
    case F_SETLKW:
    case F_GETLK:
    case F_OFD_SETLK:
    case F_OFD_SETLKW:
    case F_OFD_GETLK:
        return true;
    default:
        return false;
    }
}

} // namespace qv::testing
