#include "screen/controls/ExposurePanelView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/ExposureReadoutView.hpp"

namespace qv {

using namespace platform::ui;

namespace {

Color shown(bool isSet) {
    return isSet ? metrics::activeColor() : metrics::inActiveColor();
}

// A limit mark in the colour of its label while the value sits at that limit, else
// invisible on the panel's ground.
Color mark(bool atLimit, bool isSet) {
    return atLimit ? shown(isSet) : metrics::backgroundColor();
}

} // namespace

View ExposurePanelView::body() const {
    const ExposureReadings& r = readings;
    const View iso =
        ExposureReadoutView{"ISO",
                            shown(r.isoIsSet),
                            ExposureReadoutView::LimitMarks{mark(r.isoAtMinimum, r.isoIsSet),
                                                            mark(r.isoAtMaximum, r.isoIsSet)},
                            std::to_string(r.iso),
                            shown(r.isoIsSet),
                            Font::headline(),
                            onISO,
                            "ISO readout"};
    const View shutter = ExposureReadoutView{
        "Shutter",
        shown(r.shutterLabelIsSet),
        ExposureReadoutView::LimitMarks{mark(r.shutterAtMinimum, r.shutterLabelIsSet),
                                        mark(r.shutterAtMaximum, r.shutterLabelIsSet)},
        r.shutterText,
        shown(r.shutterIsSet),
        Font::headline(),
        onShutter,
        "shutter readout"};
    const View ev = ExposureReadoutView{"Δ EV",
                                        shown(r.evIsMeasuredOffset),
                                        std::nullopt,
                                        r.evText,
                                        shown(r.evIsMeasuredOffset),
                                        Font::headline(),
                                        onEV,
                                        "EV readout"};
    const View totalTime =
        ExposureReadoutView{"Total Time",
                            metrics::inActiveColor(),
                            std::nullopt,
                            r.totalTimeText,
                            metrics::inActiveColor(),
                            r.isSingleFrameEntry ? Font::subheadline() : Font::headline(),
                            onTotalTime,
                            "total time readout"};
    // The readouts are laid out before the gaps, so their labels are never cut to fit an
    // equal share of the width; the gaps share what is left.
    const auto readout = [](View view) { return view.layoutPriority(1); };
    return ZStack({View(metrics::backgroundColor()),
                   HStack({Spacer(), readout(iso), Spacer(), readout(shutter), Spacer(),
                           readout(ev), Spacer(), readout(totalTime), Spacer()},
                          VerticalAlignment::top, metrics::panelSpacing)})
        .frame(width, metrics::panelHeightUnits * unitSize)
        .fixedSize()
        .padding(Edges::top, metrics::panelTopInset);
}

} // namespace qv
