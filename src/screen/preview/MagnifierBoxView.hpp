#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"
#include "platform/ui/views/ViewInput.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace qv {

// The magnifier over the preview: a 130-point rounded box with the latest live frame at
// full resolution, shifted so the box shows the part of the frame under it, with a gray
// outline and the overlays' shadow. The box lies `offset` from the preview's centre; a
// drag (from 5 points, in screen points) moves it, a tap focuses there.
struct MagnifierBoxView {
    std::shared_ptr<const platform::RgbaImage> previewUIImage; // null: an empty box
    platform::Binding<platform::ui::Point> imageOffset =
        platform::Binding<platform::ui::Point>::constant({});
    double fitScale = 1; // the controller's previewImageFitScale
    double blurRadius = 0;
    platform::ui::Point offset;
    std::function<void(const platform::ui::DragValue&)> onDragChanged; // "magnifier drag"
    std::function<void(const platform::ui::DragValue&)> onDragEnded;
    std::function<void()> onTap; // "magnifier tap"

    platform::ui::View body() const; // tagged "magnifier box"

    // The box's offset from the preview's centre: the resting offset plus the drag, within
    // 40 % of the preview's width across and 40 % of its height (width x aspect) along.
    static platform::ui::Point clampedOffset(platform::ui::Point steady, platform::ui::Point drag,
                                             double previewWidth, double aspectRatio);
    // The shift of the magnified picture for a box at `boxOffset`: minus the offset in
    // the picture's pixels, at `displayScale` pixels a point over the live frame's scale
    // to the screen (1 while it is unknown or not above 0).
    static platform::ui::Point pictureOffset(platform::ui::Point boxOffset, double displayScale,
                                             std::optional<double> previewImageScale);
};

} // namespace qv
