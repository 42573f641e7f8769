#include "app/onboarding/RequestAccessView.hpp"

#include "app/Metrics.hpp"
#include "app/onboarding/AccessRightRow.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;
using namespace appmetrics;

namespace {

// "Continue": the camera first; the photo library once the camera is granted.
void continueRequests(CameraManager& camera) {
    if (!camera.isCameraAuthorized.get()) {
        camera.requestCameraAccess();
    } else if (!camera.isPhotoLibraryAuthorized.get()) {
        camera.requestPhotoLibraryAccess();
    }
}

// The button fills the width of the area under the rows, 20 points below them.
View continueButton(CameraManager& camera) {
    return GeometryReader([&camera](const GeometryProxy& area) {
        return ZStack({RoundedRectangle(accessButtonCornerRadius, RoundedCornerStyle::continuous)
                           .fill(ShapeStyle::primary()),
                       Text("Continue").foregroundColor(Color::black()).font(Font::title3())})
            .frame(area.size.width, accessButtonHeight)
            .contentShape(Rectangle())
            .onTapGesture([&camera] { continueRequests(camera); })
            .testTag("continue")
            .padding(Edges::top, accessButtonTopPadding);
    });
}

} // namespace

View RequestAccessView::body() const {
    CameraManager& camera = cameraManager.get();
    return ZStack({View(Color::black()).ignoresSafeArea(),
                   VStack({View(Color::black()),
                           Text("Before we begin Quarn Vesil will ask you for some access rights:")
                               .font(Font::title3()),
                           AccessRightRow{"Camera access", "Allows you to take photos.",
                                          camera.isCameraAuthorized.get(), disableColor,
                                          [&camera] { camera.requestCameraAccess(); },
                                          "camera access"},
                           AccessRightRow{"Photo library access", "Allows you to save photos.",
                                          camera.isPhotoLibraryAuthorized.get(), disableColor,
                                          [&camera] { camera.requestPhotoLibraryAccess(); },
                                          "photos access"},
                           continueButton(camera), Spacer()},
                          HorizontalAlignment::leading)
                       .padding(accessInset)})
        .foregroundColor(enabledColor)
        .ignoresSafeArea();
}

} // namespace qv
