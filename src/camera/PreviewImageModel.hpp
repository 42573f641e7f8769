#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Published.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

namespace qv {

// The picture merged so far while a run shoots, as the progress view shows it: the run
// hands it encoded previews now and then and clears it when it ends.
//
// Order: every call takes a ticket when it is made, and a result is applied only when no
// later call has been applied before it. So a preview that takes long to decode (a RAW one
// can outlast the spacing between previews) never replaces a newer one, nor comes back
// after the run has cleared the picture.
//
// Threads: previewImage is written on the main queue; the calls are safe from any thread
// and hop there themselves. Work queued for a model that is gone does nothing.
class PreviewImageModel final : public platform::ObservableObject,
                                public std::enable_shared_from_this<PreviewImageModel> {
public:
    using ImagePointer = std::shared_ptr<const platform::RgbaImage>;

    // The app's one model, made on first use.
    static const std::shared_ptr<PreviewImageModel>& shared();
    // A model of its own (tests).
    static std::shared_ptr<PreviewImageModel> make();

    // Null while no run shows a preview.
    platform::Published<ImagePointer> previewImage{*this, nullptr};

    // Shows `image` (null clears it) on the main queue: the first picture after none fades
    // in (an animated change), later ones replace it without animation.
    void setPreviewImage(ImagePointer image);
    // Decodes `data` for display (8 bits per channel, a DNG developed at half size) on the
    // worker pool and shows it as setPreviewImage does; data that is no picture prints one
    // line and clears the preview.
    void showEncodedPreview(platform::imaging::FileData data);

    PreviewImageModel(const PreviewImageModel&) = delete;
    PreviewImageModel& operator=(const PreviewImageModel&) = delete;

private:
    PreviewImageModel() = default;
    void queueApply(std::uint64_t ticket, ImagePointer image);
    void apply(std::uint64_t ticket, ImagePointer image);

    std::atomic<std::uint64_t> lastTicket_{0}; // handed out from any thread
    std::uint64_t appliedTicket_ = 0;          // main queue only
};

} // namespace qv
