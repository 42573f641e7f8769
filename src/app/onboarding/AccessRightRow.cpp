#include "app/onboarding/AccessRightRow.hpp"

#include "app/Metrics.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;
using namespace appmetrics;

View AccessRightRow::body() const {
    const auto tap = onTap;
    return HStack({VStack({Text(LocalizedStringKey{title}).font(Font::headline()),
                           Text(LocalizedStringKey{explanation})
                               .font(Font::footnote())
                               .foregroundColor(explanationColor)
                               .lineLimit(accessExplanationLines)},
                          HorizontalAlignment::leading)
                       .layoutPriority(1), // served before the spacer: the texts keep their width
                   Spacer(),
                   Image::system(isGranted ? "checkmark.square" : "square")
                       .font(Font::largeTitle())
                       .padding(Edges::leading)})
        .padding(Edges::vertical, accessRowPadding)
        .contentShape(Rectangle())
        .onTapGesture([tap] {
            if (tap) {
                tap();
            }
        })
        .testTag(tag);
}

} // namespace qv
