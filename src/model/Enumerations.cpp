#include "model/Enumerations.hpp"

#include "model/RawValueLookup.hpp"

namespace qv {

std::optional<SequenceMode> sequenceModeFromRawValue(std::int64_t raw) {
    return detail::caseWithRawValue(allSequenceModes, raw);
}

std::string_view abbreviation(SequenceMode mode) {
    switch (mode) {
    case SequenceMode::frameAveraging:
        return "FA";
    case SequenceMode::lightTrails:
        return "LT";
    case SequenceMode::starTrails:
        return "ST";
    case SequenceMode::nightMode:
        return "NM";
    }
    return "FA";
}

std::string_view displayName(SequenceMode mode) {
    switch (mode) {
    case SequenceMode::frameAveraging:
        return "Frame Averaging";
    case SequenceMode::lightTrails:
        return "Light Trails";
    case SequenceMode::starTrails:
        return "Star Trails";
    case SequenceMode::nightMode:
        return "Night Mode";
    }
    return "Frame Averaging";
}

std::string_view rawValue(SupportedImageFormat format) {
    switch (format) {
    case SupportedImageFormat::RAW:
        return "RAW";
    case SupportedImageFormat::JPEG:
        return "JPEG";
    case SupportedImageFormat::TIFF:
        return "TIFF";
    }
    return "RAW";
}

std::optional<SupportedImageFormat> supportedImageFormatFromRawValue(std::string_view raw) {
    return detail::caseWithRawValue(allSupportedImageFormats, raw);
}

std::optional<Delay> delayFromRawValue(std::int64_t raw) {
    return detail::caseWithRawValue(allDelays, raw);
}

} // namespace qv
