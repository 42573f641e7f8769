#include "components/SelectorCell.hpp"

#include "components/Metrics.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

constexpr double kCornerSize = 10;
constexpr double kOutlineWidth = 1;
constexpr double kTextPadding = 5;

ShapeView cellShape() {
    return RoundedRectangle(Size{kCornerSize, kCornerSize}, RoundedCornerStyle::continuous);
}

// The text of a cell: one line, shrunk to fit down to half its size.
View cellText(const std::string& text) {
    return Text(text)
        .font(Font::title2())
        .lineLimit(1)
        .scaledToFit()
        .minimumScaleFactor(0.5)
        .padding(kTextPadding);
}

// The box stands in the middle of its column, between two spacers. Served first, it
// takes the column's width: an equal share with the spacers (a third) would cut values
// such as "4,000" even at half their size.
View centred(View box) {
    return HStack({Spacer(), std::move(box).layoutPriority(1), Spacer()});
}

} // namespace

View SelectorItemCell::body() const {
    View label =
        Text(text)
            .font(Font::title2())
            .shadow(metrics::overlayShadowColor(), isSelected ? metrics::overlayShadowRadius : 0)
            .monospacedDigit()
            .lineLimit(1)
            .scaledToFit()
            .minimumScaleFactor(0.5)
            .padding(kTextPadding);
    View box =
        ZStack({cellShape()
                    .fill(isSelected ? Color::white()
                                     : Color::black().opacity(metrics::hitAreaOpacity))
                    .opacity(0.4),
                cellShape().stroke(isSelected ? ShapeStyle::primary() : ShapeStyle::secondary(),
                                   kOutlineWidth),
                label})
            .testTag(tag)
            .onTapGesture(onSelect);
    return centred(std::move(box));
}

View SelectorBlankCell::body() const {
    View box = ZStack({cellShape().fill(Color::black()),
                       cellShape().stroke(Color::black(), kOutlineWidth), cellText(" ")})
                   .testTag(tag);
    return centred(std::move(box));
}

} // namespace qv
