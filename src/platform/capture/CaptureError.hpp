#pragma once

#include <string>

namespace qv::platform {

// What went wrong in the capture layer, for the console and, where it matters, the user.
struct CaptureError {
    enum class Code {
        deviceLockFailed,    // lockForConfiguration() refused (switch or held too long)
        inputUnavailable,    // no input can be made for the device
        sessionNotRunning,   // a photo was asked of a session that does not run
        sessionInterrupted,  // the session is interrupted
        sessionStopped,      // the session stopped while the request was open
        notConnected,        // the output has no camera to take pictures with
        unsupportedSettings, // the request asks what the output cannot do
        captureFailed,       // the camera failed the request or photo
    };

    Code code = Code::captureFailed;
    std::string localizedDescription;
};

} // namespace qv::platform
