#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv {

// A picture when there is one, at its own size in points, shifted from the centre of the
// space it is given by `imageOffset` (read at every build, so a drag that writes the
// caller's point moves it at once). A null picture draws nothing and takes no space. The
// magnifier shows its piece of the live frame with it.
struct OptionalImage {
    std::shared_ptr<const platform::RgbaImage> uiImage;
    platform::Binding<platform::ui::Point> imageOffset =
        platform::Binding<platform::ui::Point>::constant({});

    platform::ui::View body() const; // the picture is tagged "optional image"
};

} // namespace qv
