#include "platform/files/FolderLock.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <thread>

namespace qv::platform {

namespace {

// How often a held lock folder is tried again.
constexpr std::chrono::milliseconds retryEvery{5};

std::string cannotBeMade(const std::filesystem::path& folder, const std::error_code& error) {
    return "its lock folder " + quotedPath(folder) + " cannot be made (" + error.message() + ")";
}

} // namespace

FolderLock::FolderLock(const std::filesystem::path& folder, std::chrono::milliseconds patience,
                       const std::atomic<bool>* stop) {
    std::error_code error;
    Folder parent = Folder::open(folder.parent_path(), error);
    if (!parent) {
        problem_ = cannotBeMade(folder, error);
        return;
    }
    lock_ = std::make_unique<LockFolder>(std::move(parent), folder.filename());
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        switch (lock_->tryTake(error)) {
        case LockFolder::Attempt::taken:
            return;
        case LockFolder::Attempt::failed:
            problem_ = cannotBeMade(folder, error);
            return;
        case LockFolder::Attempt::heldElsewhere:
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline || (stop != nullptr && stop->load())) {
            heldElsewhere_ = true;
            problem_ = "another process has held its lock for over " +
                       std::to_string(patience.count()) + " ms: " + lock_->whyHeld();
            return;
        }
        std::this_thread::sleep_for(retryEvery);
    }
}

} // namespace qv::platform
