#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>

namespace qv {

// The picture merged so far while a run shoots, fitted into its space with its aspect
// ratio kept; nothing while there is none.
struct ImageProgressView {
    std::shared_ptr<const platform::RgbaImage> previewImage;

    platform::ui::View body() const; // the picture is tagged "merged picture"
};

} // namespace qv
