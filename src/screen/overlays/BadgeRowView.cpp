#include "screen/overlays/BadgeRowView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/BadgeView.hpp"

namespace qv {

using namespace platform::ui;

namespace {

// A badge in its slot: a row on the last text baselines, framed 90 x 25 points.
View slot(std::vector<View> row, Alignment alignment) {
    return ZStack(
        {HStack(std::move(row), VerticalAlignment::lastTextBaseline, metrics::badgeSpacing)
             .frame(metrics::badgeSlotWidth, metrics::badgeSlotHeight, alignment)
             .testTag("badge slot")});
}

View tappable(BadgeView badge, const std::function<void()>& action, const std::string& tag) {
    return ZStack({std::move(badge)}).onTapGesture(action).scaledToFit().testTag(tag);
}

} // namespace

View BadgeRowView::body() const {
    const bool oneCamera = cameraCount == 1;
    const BadgeView mode{std::string(abbreviation(sequenceMode)),
                         sequenceMode != SequenceMode::frameAveraging, unitSize, oneCamera, false};
    const BadgeView format{std::string(rawValue(fileFormat)), false, unitSize, oneCamera, true};
    const View row =
        HStack({slot({tappable(mode, onModeBadge, "mode badge")
                          .padding(Edges::leading, metrics::badgeRowPadding),
                      Spacer()},
                     Alignment::leading()),
                Spacer(),
                slot({Spacer(), tappable(format, onFormatBadge, "format badge")
                                    .padding(Edges::trailing, metrics::badgeRowPadding)},
                     Alignment::trailing())})
            .padding(EdgeInsets{metrics::badgeRowPadding, 1, 0, 0})
            .ignoresSafeArea();
    return VStack({row, Spacer()});
}

} // namespace qv
