#include "model/Enumerations.hpp"

namespace qv {

namespace {

// The case of `cases` whose raw value is `raw`, if any.
template <class Cases, class Raw>
auto caseWithRawValue(const Cases& cases, const Raw& raw)
    -> std::optional<typename Cases::value_type> {
    for (const auto candidate : cases) {
        if (rawValue(candidate) == raw) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<SequenceMode> sequenceModeFromRawValue(std::int64_t raw) {
    return caseWithRawValue(allSequenceModes, raw);
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
    return caseWithRawValue(allSupportedImageFormats, raw);
}

std::optional<Delay> delayFromRawValue(std::int64_t raw) {
    return caseWithRawValue(allDelays, raw);
}

} // namespace qv
