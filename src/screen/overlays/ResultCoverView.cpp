#include "screen/overlays/ResultCoverView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/ResultImageView.hpp"

namespace qv {

using namespace platform::ui;
using platform::DeviceOrientation;

ResultCoverView::Corner ResultCoverView::closeButtonCorner(DeviceOrientation orientation) {
    switch (orientation) {
    case DeviceOrientation::landscapeRight:
        return Corner::topLeading;
    case DeviceOrientation::portraitUpsideDown:
        return Corner::bottomLeading;
    case DeviceOrientation::landscapeLeft:
        return Corner::bottomTrailing;
    default:
        return Corner::topTrailing;
    }
}

View ResultCoverView::body() const {
    const Corner corner = closeButtonCorner(deviceOrientation);
    const auto slot = [&](Corner here) {
        return If(here == corner, [&] {
            return Image::system("xmark.circle")
                .font(Font::system(metrics::resultCloseButtonUnits * unitSize))
                .foregroundColor(metrics::inActiveColor())
                .padding()
                .onTapGesture(onClose)
                .testTag("result close");
        });
    };
    const View content = IfElse(
        resultUIImage == nullptr,
        [] {
            return Text("Please be patient while your photo is saved to Photos in the "
                        "background.")
                .font(Font::title3())
                .foregroundColor(metrics::inActiveColor())
                .multilineTextAlignment(TextAlignment::center)
                .padding(metrics::resultWaitingPadding)
                .testTag("result waiting");
        },
        [&] {
            return View(ResultImageView{resultUIImage, deviceOrientation});
        });
    const View buttonFrame =
        VStack({HStack({slot(Corner::topLeading), Spacer(), slot(Corner::topTrailing)}), Spacer(),
                HStack({slot(Corner::bottomLeading), Spacer(), slot(Corner::bottomTrailing)})})
            .ignoresSafeArea()
            .zIndex(1);
    return ZStack({View(Color::darkGray()).ignoresSafeArea(), VStack({content}), buttonFrame});
}

} // namespace qv
