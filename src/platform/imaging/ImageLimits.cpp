#include "platform/imaging/ImageLimits.hpp"

namespace qv::platform::imaging {

std::optional<std::string> declaredSizeProblem(std::uint64_t width, std::uint64_t height,
                                               std::uint64_t fileBytes,
                                               std::optional<std::uint64_t> storedBytes) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width == 0 || height == 0) {
        return "the image claims " + size;
    }
    // Each side is bounded first, so the product cannot overflow.
    const bool tooLarge =
        width > maximumPixels || height > maximumPixels || width * height > maximumPixels;
    if (tooLarge) {
        return "the image claims " + size + ", more than the " +
               std::to_string(maximumPixels / 1'000'000) + " megapixels a reader accepts";
    }
    if (storedBytes && *storedBytes > fileBytes) {
        return "the file holds " + std::to_string(fileBytes) + " bytes, too few for the " +
               std::to_string(*storedBytes) + " bytes of its " + size;
    }
    if (!storedBytes && width * height / maximumPixelsPerByte > fileBytes) {
        return "the file holds " + std::to_string(fileBytes) + " bytes, too few for its " + size;
    }
    return std::nullopt;
}

} // namespace qv::platform::imaging
