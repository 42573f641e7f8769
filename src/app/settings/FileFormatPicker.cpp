#include "app/settings/FileFormatPicker.hpp"

#include "app/settings/SettingPicker.hpp"

namespace qv {

using namespace platform::ui;

View FileFormatPicker::body() const {
    std::vector<PickerSegment<SupportedImageFormat>> segments;
    for (const SupportedImageFormat format : formats) {
        segments.push_back({format, std::string(rawValue(format))});
    }
    return settingPicker("File Format", selection, std::move(segments))
        .testTag("file format picker");
}

} // namespace qv
