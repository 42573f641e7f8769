#include "platform/ui/drawing/Font.hpp"

namespace qv::platform::ui {

Font Font::style(TextStyle style) {
    switch (style) {
    case TextStyle::largeTitle:
        return system(34);
    case TextStyle::title:
        return system(28);
    case TextStyle::title2:
        return system(22);
    case TextStyle::title3:
        return system(20);
    case TextStyle::headline:
        return system(17, FontWeight::semibold);
    case TextStyle::body:
        return system(17);
    case TextStyle::callout:
        return system(16);
    case TextStyle::subheadline:
        return system(15);
    case TextStyle::footnote:
        return system(13);
    case TextStyle::caption:
        return system(12);
    case TextStyle::caption2:
        return system(11);
    }
    return system(17);
}

} // namespace qv::platform::ui
