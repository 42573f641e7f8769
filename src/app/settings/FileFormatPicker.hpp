#pragma once
// The file format of saved results, as segments "RAW", "JPEG", "TIFF" (the formats' own
// names, not looked up), bound to the "fileFormat" setting.

#include "model/Enumerations.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <vector>

namespace qv {

struct FileFormatPicker {
    platform::Binding<SupportedImageFormat> selection;
    std::vector<SupportedImageFormat> formats; // the segments, in this order

    /// Tagged "file format picker".
    platform::ui::View body() const;
};

} // namespace qv
