#pragma once

#include "platform/capture/CaptureDeviceInput.hpp"
#include "platform/capture/CaptureOutput.hpp"
#include "platform/capture/detail/PixelBufferPool.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <memory>
#include <mutex>
#include <vector>

namespace qv::platform {

class CapturePhotoOutput;
class CaptureVideoDataOutput;
class CaptureVideoPreviewLayer;

enum class CaptureSessionPreset { photo, high };

// Connects a camera to the outputs that take its pictures. While it runs, the camera makes
// frames one after another (each as long as its exposure, at most 30 a second); a frame is
// rendered only when someone wants it (a video-data output with a delegate, a preview layer
// with a size) and not while a photo exposes, on the session's render queue, one at a time:
// a frame that ends while the one before is still being rendered is dropped.
//
// One input at most: a second one is refused with one console line, as is an output added
// twice (nothing aborts). Stopping ends the frames; open photo requests end with an error;
// the camera's pending completions still run. An interruption (injected by a test) stops the
// frames and fails photo requests with "session interrupted" until it ends.
//
// Made with std::make_shared (its outputs and preview layers refer back to it). Safe from
// any thread; the app configures it on its session queue.
class CaptureSession : public std::enable_shared_from_this<CaptureSession> {
public:
    CaptureSession();
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    CaptureSessionPreset sessionPreset() const;
    void setSessionPreset(CaptureSessionPreset preset);

    std::vector<std::shared_ptr<CaptureDeviceInput>> inputs() const;
    bool canAddInput(const std::shared_ptr<CaptureDeviceInput>& input) const;
    void addInput(const std::shared_ptr<CaptureDeviceInput>& input);
    void removeInput(const std::shared_ptr<CaptureDeviceInput>& input);

    std::vector<std::shared_ptr<CaptureOutput>> outputs() const;
    bool canAddOutput(const std::shared_ptr<CaptureOutput>& output) const;
    void addOutput(const std::shared_ptr<CaptureOutput>& output);
    void removeOutput(const std::shared_ptr<CaptureOutput>& output);

    void startRunning();
    void stopRunning();
    bool isRunning() const;
    bool isInterrupted() const;

    // Test seams
    void beginInterruption();
    void endInterruption();
    // While set, the session refuses video-data outputs (canAddOutput() is false for them).
    void setRefusesVideoDataOutputs(bool refuses);

private:
    // For this layer's outputs and preview layers.
    friend class CaptureOutput;
    friend class CapturePhotoOutput;
    friend class CaptureVideoPreviewLayer;

    // The camera of the input; null without one.
    std::shared_ptr<CaptureDevice> device() const;
    // Changes every time the session stops or is interrupted: a request that began in
    // another generation has lost its session.
    std::uint64_t generation() const;
    // While a photo exposes, no live frame is rendered.
    void photoExposureBegan();
    void photoExposureEnded();
    void addPreviewLayer(const std::shared_ptr<CaptureVideoPreviewLayer>& layer);

    bool canAddOutputLocked(const std::shared_ptr<CaptureOutput>& output) const;
    void startStreamingLocked();
    void stopStreamingLocked();
    // On the camera's event queue after each frame: renders it when someone wants it.
    void frameEnded(const FrameExposure& frame);
    void renderAndHandOn(const FrameExposure& frame, PixelDimensions size,
                         const std::shared_ptr<CaptureVideoDataOutput>& video,
                         const std::vector<std::shared_ptr<CaptureVideoPreviewLayer>>& layers);

    mutable std::mutex mutex_; // guards the fields below
    CaptureSessionPreset preset_ = CaptureSessionPreset::photo;
    std::shared_ptr<CaptureDeviceInput> input_;
    std::vector<std::shared_ptr<CaptureOutput>> outputs_;
    std::vector<std::weak_ptr<CaptureVideoPreviewLayer>> layers_;
    bool running_ = false;
    bool interrupted_ = false;
    bool refusesVideo_ = false;
    int exposingPhotos_ = 0;
    bool rendering_ = false; // a live frame is being rendered: the next ones are late
    std::uint64_t generation_ = 0;
    std::shared_ptr<CaptureDevice> streamingDevice_;
    detail::PixelBufferPool pool_;

    // Declared last so it goes first: once it is gone no frame is rendered.
    std::unique_ptr<DispatchQueue> renderQueue_;
};

} // namespace qv::platform
