#include "app/settings/SequenceSettingRow.hpp"

#include "app/Metrics.hpp"
#include "app/settings/StepperSymbol.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;
using namespace appmetrics;

namespace {

View valueText(const SequenceSettingRow& row) {
    View text = Text(row.value).font(Font::system(settingsFontSize));
    if (row.monospacedDigits) {
        text = text.monospacedDigit();
    }
    text = text.foregroundColor(metrics::activeColor()).testTag("value " + row.label);
    if (!row.onOpen) {
        return text;
    }
    return text.onTapGesture(row.onOpen);
}

View valueLine(const SequenceSettingRow& row) {
    View line =
        HStack({StepperSymbol{"minus", row.canDecrease, row.onDecrease, "minus " + row.label},
                valueText(row),
                StepperSymbol{"plus", row.canIncrease, row.onIncrease, "plus " + row.label}});
    if (!row.growingValueLine) {
        return line.frame(valueLineWidth, valueLineHeight);
    }
    return line.frame(FrameLimits{}
                          .withMinWidth(valueLineWidth)
                          .withIdealWidth(valueLineWidth)
                          .withMaxWidth(valueLineWidth)
                          .withMinHeight(valueLineHeight)
                          .withIdealHeight(valueLineHeight)
                          .withMaxHeight(tallValueLineMaxHeight));
}

} // namespace

View SequenceSettingRow::body() const {
    return VStack({Text(LocalizedStringKey{label})
                       .font(Font::system(settingsFontSize))
                       .foregroundColor(metrics::activeColor()),
                   valueLine(*this)},
                  HorizontalAlignment::leading, 0)
        .padding(Edges::leading, sequenceRowLeadingPadding)
        .testTag("row " + label);
}

} // namespace qv
