#include "components/GridSelectableItem.hpp"

#include "platform/formatting/NumberFormatter.hpp"

namespace qv {

std::string GridSelectableItem::integerText(long long value) {
    return platform::formatInteger(value);
}

std::string GridSelectableItem::decimalText(double value) {
    return platform::DecimalFormatter{.minimumFractionDigits = 0, .maximumFractionDigits = 6}
        .format(value);
}

} // namespace qv
