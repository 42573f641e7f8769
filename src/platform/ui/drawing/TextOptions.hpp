#pragma once
// How a text is fitted into the space it is offered and aligned across its lines.

#include <optional>

namespace qv::platform::ui {

enum class TextAlignment { leading, center, trailing };

struct TextOptions {
    std::optional<int> lineLimit;
    double minimumScaleFactor = 1.0;
    TextAlignment alignment = TextAlignment::leading;
};

} // namespace qv::platform::ui
