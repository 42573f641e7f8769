#include "components/SelectorHeader.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View SelectorHeader::body() const {
    const std::string shown = title;
    // The title is served before the spacer, so it keeps one line while it fits.
    return HStack({If(!shown.empty(), [&] { return Text(shown).layoutPriority(1); }), Spacer(),
                   Image::system("x.circle")
                       .foregroundStyle(ShapeStyle::secondary())
                       .onTapGesture(close)})
        .font(Font::title())
        .padding()
        .padding(Edges::horizontal);
}

} // namespace qv
