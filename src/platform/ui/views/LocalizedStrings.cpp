#include "platform/ui/views/LocalizedStrings.hpp"

#include <array>
#include <utility>

namespace qv::platform::ui {
namespace {

// The English table: only keys whose text differs from the key itself.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kEnglish{{
    {"WhatsNewHeadline", "Long exposures on Linux"},
    {"WhatsNewBody",
     "Quarn Vesil now runs on Linux, in a window shaped like a phone.\n\n"
     "It shoots a timed sequence of frames and merges them into one picture: frame "
     "averaging, light trails, star trails, and a night mode on RAW frames. Frame the scene "
     "on the live preview with the grid, the spirit level, the histogram or the magnifier, "
     "choose the mode, the total time, the exposure and the file format, and release the "
     "shutter.\n\n"
     "The picture is saved as a DNG, JPEG or TIFF file in your Documents folder and in the "
     "photo library.\n\n"
     "There is no camera hardware: the frames come from a simulated camera. The + and - keys "
     "are the volume buttons, 1 to 6 turn the phone and the arrow keys tilt it."},
    {"off", "Off"},
}};

} // namespace

std::string localizedString(std::string_view key) {
    for (const auto& [k, text] : kEnglish) {
        if (k == key) {
            return std::string(text);
        }
    }
    return std::string(key);
}

} // namespace qv::platform::ui
