#include "app/CameraScreen.hpp"

#include "app/SequenceModeSelector.hpp"
#include "app/onboarding/WhatsNewView.hpp"
#include "app/settings/SettingsView.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/CameraMainView.hpp"

namespace qv {

using namespace platform::ui;

View cameraScreen(CameraManager& camera) {
    CameraScreenShell shell;
    shell.whatsNew = [&camera] {
        return View(WhatsNewView{[&camera] { camera.saveLastLaunchedVersion(); }});
    };
    shell.settings = [&camera](platform::Binding<bool> isPresented, Size safeScreenSize,
                               double iconSize, Color inActiveColor) {
        return View(
            SettingsView(camera, std::move(isPresented), safeScreenSize, iconSize, inActiveColor));
    };
    // One column, closed by a choice (or by the screen), turned with the phone.
    shell.sequenceModeSelector = [&camera](platform::Binding<bool> isShowing, double rotation) {
        return View(SequenceModeSelector("", std::move(isShowing), camera.sequenceMode.binding(), 1,
                                         true, rotation));
    };
    return CameraMainView{.shell = std::move(shell)};
}

} // namespace qv
