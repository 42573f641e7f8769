#pragma once

#include "platform/files/LockFolder.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace qv::platform {

// A lock folder (LockFolder.hpp) taken for a while: taken at construction, waiting while
// another holds it for at most `patience` on the real clock (the holder is another process) or
// until `stop` is set, and taking it over when its owner is gone. Given back when the object
// goes.
class FolderLock {
public:
    FolderLock(const std::filesystem::path& folder, std::chrono::milliseconds patience,
               const std::atomic<bool>* stop = nullptr);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return lock_ && lock_->held(); }
    // Whether it is not held because another held it all the while (problem() says who).
    bool heldElsewhere() const { return heldElsewhere_; }
    const std::string& problem() const { return problem_; }

private:
    std::unique_ptr<LockFolder> lock_; // gives the lock back when it goes
    bool heldElsewhere_ = false;
    std::string problem_;
};

} // namespace qv::platform
