#pragma once
// Pictures of the library's assets for display: 8 bits per channel, scaled to the size
// asked for (never enlarged). A target within the stored thumbnail's size (at most 512
// pixels a side) is served from the thumbnail alone; a larger one gets the thumbnail
// first, marked degraded, then the full picture (a DNG developed at half size).
//
// Threads: ask on any thread. The decoding runs on the worker pool; results come on the
// main queue, for one request always in that order. A request not yet begun when the
// manager ends is dropped (its handler never called); the manager's end waits for those
// being decoded, so none reads the library after it.

#include "platform/dispatch/PoolTasks.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/photos/Asset.hpp"

#include <functional>
#include <optional>
#include <string>

namespace qv::platform {

class PhotoLibrary;

enum class ImageContentMode {
    aspectFit,  // the whole picture within the target
    aspectFill, // the picture covering the target (its short side at least the target's)
};

struct ImageTargetSize {
    double width = 0;
    double height = 0;
};

struct ImageResultInfo {
    bool degraded = false;            // a quick, smaller picture; a better one follows
    std::optional<std::string> error; // why there is no picture
};

class ImageManager {
public:
    using ResultHandler =
        std::function<void(const std::optional<RgbaImage>& image, const ImageResultInfo& info)>;

    // The images of the app's library.
    static ImageManager& shared();
    explicit ImageManager(PhotoLibrary& library);

    // Without access to the library, or while the fault switch is on, the handler gets no
    // image and the error, once.
    void requestImage(const Asset& asset, ImageTargetSize target, ImageContentMode mode,
                      ResultHandler handler);

private:
    PhotoLibrary& library_;
    PoolTasks tasks_; // last: ends first
};

// The scale that brings a picture of `width` x `height` to `target` in `mode`.
double scaleFor(double width, double height, ImageTargetSize target, ImageContentMode mode);

} // namespace qv::platform
