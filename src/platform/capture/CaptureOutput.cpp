#include "platform/capture/CaptureOutput.hpp"

#include "platform/capture/CaptureSession.hpp"

namespace qv::platform {

std::vector<std::shared_ptr<CaptureConnection>> CaptureOutput::connections() const {
    const auto core = session();
    if (core && core->device()) {
        return {connection_};
    }
    return {};
}

std::shared_ptr<CaptureSession> CaptureOutput::session() const {
    std::lock_guard guard(mutex_);
    return session_.lock();
}

void CaptureOutput::attach(const std::shared_ptr<CaptureSession>& session) {
    std::lock_guard guard(mutex_);
    session_ = session;
}

void CaptureOutput::detach() {
    std::lock_guard guard(mutex_);
    session_.reset();
}

} // namespace qv::platform
