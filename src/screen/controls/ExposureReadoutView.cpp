#include "screen/controls/ExposureReadoutView.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

View limitMark(const char* symbol, const Color& color) {
    return Image::system(symbol)
        .font(Font::caption())
        .imageScale(ImageScale::medium)
        .foregroundColor(color);
}

} // namespace

View ExposureReadoutView::body() const {
    View labelText =
        Text(LocalizedStringKey{label}).font(Font::caption2()).foregroundColor(labelColor);
    View labelLine = labelText;
    if (limitMarks) {
        labelLine = HStack({limitMark("arrow.down.to.line", limitMarks->lower), labelText,
                            limitMark("arrow.up.to.line", limitMarks->upper)});
    }
    return VStack({labelLine, Text(value).font(valueFont).foregroundColor(valueColor)})
        .contentShape(Rectangle())
        .onTapGesture(onTap)
        .testTag(tag);
}

} // namespace qv
