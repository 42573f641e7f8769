#pragma once
// The app: it makes the objects that live as long as the process (the shared preview model
// and the one camera controller), puts the night-mode settings back to their launch values
// (white clipping, native ISO), and describes the one scene: the access screen until camera
// and Photos access are both granted, then the camera screen, chosen anew at every build.
//
// While the camera screen is shown the idle timer is off, and each change of how the phone
// is held updates the controller's orientation. When it goes (access withdrawn, or the app
// quitting) the capture session and the accelerometer stop, the preview image scale is
// cleared, the idle timer is allowed again and this version is recorded as launched.
//
// Threads: main queue only. Made with the controller's services, which must outlive it.

#include "camera/CameraManager.hpp"
#include "camera/PreviewImageModel.hpp"
#include "platform/sensors/Device.hpp"
#include "platform/system/Application.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv {

class Quarn_Vesil {
public:
    explicit Quarn_Vesil(CameraServices services = {});
    // Returns once the controller has ended (on the main thread), so the services it was made
    // with may go afterwards.
    ~Quarn_Vesil();
    Quarn_Vesil(const Quarn_Vesil&) = delete;
    Quarn_Vesil& operator=(const Quarn_Vesil&) = delete;

    /// The scene's content; the window builds it anew whenever the controller changes.
    platform::ui::View body() const;

    CameraManager& cameraManager() const { return *cameraManager_; }
    const std::shared_ptr<PreviewImageModel>& previewImageModel() const {
        return previewImageModel_;
    }
    platform::Application& application() const { return application_; }

    /// The app is quitting: from the next build on the scene shows nothing, so the camera
    /// screen's disappear handler runs.
    void endScene() { sceneEnded_ = true; }

private:
    std::shared_ptr<PreviewImageModel> previewImageModel_;
    std::shared_ptr<CameraManager> cameraManager_;
    platform::Device& device_;
    platform::Application& application_;
    bool sceneEnded_ = false;
};

} // namespace qv
