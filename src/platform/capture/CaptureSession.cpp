#include "platform/capture/CaptureSession.hpp"

#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/capture/detail/CaptureDeviceFrames.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>

namespace qv::platform {

namespace {

bool isVideoOutput(const std::shared_ptr<CaptureOutput>& output) {
    return std::dynamic_pointer_cast<CaptureVideoDataOutput>(output) != nullptr;
}

} // namespace

CaptureSession::CaptureSession()
    : renderQueue_(std::make_unique<DispatchQueue>("capture session frames", QoS::userInitiated)) {}

CaptureSession::~CaptureSession() {
    renderQueue_.reset();
    if (streamingDevice_) {
        detail::CaptureDeviceFrames::stopStreaming(streamingDevice_);
    }
}

CaptureSessionPreset CaptureSession::sessionPreset() const {
    std::lock_guard guard(mutex_);
    return preset_;
}

void CaptureSession::setSessionPreset(CaptureSessionPreset preset) {
    std::lock_guard guard(mutex_);
    preset_ = preset;
}

std::vector<std::shared_ptr<CaptureDeviceInput>> CaptureSession::inputs() const {
    std::lock_guard guard(mutex_);
    if (input_) {
        return {input_};
    }
    return {};
}

bool CaptureSession::canAddInput(const std::shared_ptr<CaptureDeviceInput>& input) const {
    std::lock_guard guard(mutex_);
    return input != nullptr && input_ == nullptr;
}

void CaptureSession::addInput(const std::shared_ptr<CaptureDeviceInput>& input) {
    std::lock_guard guard(mutex_);
    if (input == nullptr) {
        print("CaptureSession: no input to add");
        return;
    }
    if (input_ != nullptr) {
        print("CaptureSession: refused a second input (" + input->device()->localizedName() +
              "); remove " + input_->device()->localizedName() + " first");
        return;
    }
    input_ = input;
    if (running_) {
        startStreamingLocked();
    }
}

void CaptureSession::removeInput(const std::shared_ptr<CaptureDeviceInput>& input) {
    std::lock_guard guard(mutex_);
    if (input == nullptr || input != input_) {
        return;
    }
    stopStreamingLocked();
    input_.reset();
}

std::vector<std::shared_ptr<CaptureOutput>> CaptureSession::outputs() const {
    std::lock_guard guard(mutex_);
    return outputs_;
}

bool CaptureSession::canAddOutputLocked(const std::shared_ptr<CaptureOutput>& output) const {
    return output != nullptr &&
           std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end() &&
           !(refusesVideo_ && isVideoOutput(output));
}

bool CaptureSession::canAddOutput(const std::shared_ptr<CaptureOutput>& output) const {
    std::lock_guard guard(mutex_);
    return canAddOutputLocked(output);
}

void CaptureSession::addOutput(const std::shared_ptr<CaptureOutput>& output) {
    {
        std::lock_guard guard(mutex_);
        if (!canAddOutputLocked(output)) {
            print(output == nullptr ? "CaptureSession: no output to add"
                                    : "CaptureSession: refused an output it cannot take "
                                      "(already added, or not accepted)");
            return;
        }
        outputs_.push_back(output);
    }
    output->attach(shared_from_this());
}

void CaptureSession::removeOutput(const std::shared_ptr<CaptureOutput>& output) {
    {
        std::lock_guard guard(mutex_);
        const auto found = std::find(outputs_.begin(), outputs_.end(), output);
        if (found == outputs_.end()) {
            return;
        }
        outputs_.erase(found);
    }
    output->detach();
}

void CaptureSession::startRunning() {
    std::lock_guard guard(mutex_);
    if (running_) {
        return;
    }
    running_ = true;
    startStreamingLocked();
}

void CaptureSession::stopRunning() {
    std::lock_guard guard(mutex_);
    if (!running_) {
        return;
    }
    running_ = false;
    ++generation_;
    stopStreamingLocked();
}

bool CaptureSession::isRunning() const {
    std::lock_guard guard(mutex_);
    return running_;
}

bool CaptureSession::isInterrupted() const {
    std::lock_guard guard(mutex_);
    return interrupted_;
}

void CaptureSession::beginInterruption() {
    std::lock_guard guard(mutex_);
    if (!interrupted_) {
        ++generation_;
    }
    interrupted_ = true;
}

void CaptureSession::endInterruption() {
    std::lock_guard guard(mutex_);
    interrupted_ = false;
}

void CaptureSession::setRefusesVideoDataOutputs(bool refuses) {
    std::lock_guard guard(mutex_);
    refusesVideo_ = refuses;
}

std::shared_ptr<CaptureDevice> CaptureSession::device() const {
    std::lock_guard guard(mutex_);
    return input_ ? input_->device() : nullptr;
}

std::uint64_t CaptureSession::generation() const {
    std::lock_guard guard(mutex_);
    return generation_;
}

void CaptureSession::photoExposureBegan() {
    std::lock_guard guard(mutex_);
    ++exposingPhotos_;
}

void CaptureSession::photoExposureEnded() {
    std::lock_guard guard(mutex_);
    exposingPhotos_ = std::max(0, exposingPhotos_ - 1);
}

void CaptureSession::addPreviewLayer(const std::shared_ptr<CaptureVideoPreviewLayer>& layer) {
    std::lock_guard guard(mutex_);
    std::erase_if(layers_, [](const auto& weak) { return weak.expired(); });
    layers_.push_back(layer);
}

void CaptureSession::startStreamingLocked() {
    if (!running_ || !input_ || streamingDevice_ == input_->device()) {
        return;
    }
    stopStreamingLocked();
    streamingDevice_ = input_->device();
    detail::CaptureDeviceFrames::startStreaming(
        streamingDevice_, [weak = weak_from_this()](const FrameExposure& frame) {
            if (const auto core = weak.lock()) {
                core->frameEnded(frame);
            }
        });
}

void CaptureSession::stopStreamingLocked() {
    if (streamingDevice_) {
        detail::CaptureDeviceFrames::stopStreaming(streamingDevice_);
        streamingDevice_.reset();
    }
}

void CaptureSession::frameEnded(const FrameExposure& frame) {
    std::shared_ptr<CaptureVideoDataOutput> video;
    std::vector<std::shared_ptr<CaptureVideoPreviewLayer>> layers;
    std::shared_ptr<CaptureDevice> device;
    {
        std::lock_guard guard(mutex_);
        if (!running_ || interrupted_ || exposingPhotos_ > 0 || !input_ || rendering_) {
            return;
        }
        device = input_->device();
        for (const auto& output : outputs_) {
            auto candidate = std::dynamic_pointer_cast<CaptureVideoDataOutput>(output);
            if (candidate && candidate->hasSampleBufferDelegate()) {
                video = std::move(candidate);
                break;
            }
        }
        for (const auto& weak : layers_) {
            if (auto layer = weak.lock(); layer && !layer->frame().isEmpty()) {
                layers.push_back(std::move(layer));
            }
        }
        if (!video && layers.empty()) {
            return;
        }
        rendering_ = true;
    }
    const CaptureDeviceFormat format = device->activeFormat();
    const PixelDimensions size = video ? video->frameDimensions(format) : format.previewDimensions;
    renderQueue_->async([weak = weak_from_this(), frame, size, video, layers] {
        if (const auto core = weak.lock()) {
            core->renderAndHandOn(frame, size, video, layers);
        }
    });
}

void CaptureSession::renderAndHandOn(
    const FrameExposure& frame, PixelDimensions size,
    const std::shared_ptr<CaptureVideoDataOutput>& video,
    const std::vector<std::shared_ptr<CaptureVideoPreviewLayer>>& layers) {
    std::shared_ptr<CaptureDevice> device;
    {
        std::lock_guard guard(mutex_);
        device = running_ && !interrupted_ && input_ ? input_->device() : nullptr;
    }
    std::shared_ptr<PixelBuffer> buffer =
        device ? pool_.get(std::size_t(std::max(size.width, 1)),
                           std::size_t(std::max(size.height, 1)), pixelformat::bgra32)
               : nullptr;
    if (buffer) {
        detail::CaptureDeviceFrames::render(*device, frame, FramePurpose::live, *buffer);
        if (video) {
            video->deliver({buffer, monotonicMediaTime(frame.start)});
        }
        for (const auto& layer : layers) {
            layer->present(buffer);
        }
    }
    std::lock_guard guard(mutex_);
    rendering_ = false;
}

} // namespace qv::platform
