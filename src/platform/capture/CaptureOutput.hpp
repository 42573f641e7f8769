#pragma once

#include "platform/capture/CaptureConnection.hpp"

#include <memory>
#include <mutex>
#include <vector>

namespace qv::platform {

class CaptureSession;

// What a capture session hands pictures to: the photo output or the video-data output.
// An output belongs to at most one session.
class CaptureOutput {
public:
    virtual ~CaptureOutput() = default;
    CaptureOutput(const CaptureOutput&) = delete;
    CaptureOutput& operator=(const CaptureOutput&) = delete;

    // The link to the session's camera: one while the output is in a session that has an
    // input, else none. The connection (and its orientation) stays the same for the
    // output's life.
    std::vector<std::shared_ptr<CaptureConnection>> connections() const;

protected:
    CaptureOutput() = default;
    // The session the output is in; null when it is in none.
    std::shared_ptr<CaptureSession> session() const;
    const std::shared_ptr<CaptureConnection>& connection() const { return connection_; }

private:
    friend class CaptureSession;
    void attach(const std::shared_ptr<CaptureSession>& session);
    void detach();

    mutable std::mutex mutex_; // guards session_
    std::weak_ptr<CaptureSession> session_;
    const std::shared_ptr<CaptureConnection> connection_ = std::make_shared<CaptureConnection>();
};

} // namespace qv::platform
