#include "camera/PreviewImageModel.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/photos/DisplayImage.hpp"
#include "platform/state/Transaction.hpp"

namespace qv {

const std::shared_ptr<PreviewImageModel>& PreviewImageModel::shared() {
    static const std::shared_ptr<PreviewImageModel> model = make();
    return model;
}

std::shared_ptr<PreviewImageModel> PreviewImageModel::make() {
    return std::shared_ptr<PreviewImageModel>(new PreviewImageModel());
}

void PreviewImageModel::setPreviewImage(ImagePointer image) {
    queueApply(++lastTicket_, std::move(image));
}

void PreviewImageModel::showEncodedPreview(platform::imaging::FileData data) {
    const std::uint64_t ticket = ++lastTicket_;
    platform::WorkerPool::async(
        [weak = weak_from_this(), ticket, data = std::move(data)] {
            ImagePointer image;
            if (auto decoded = platform::decodeForDisplay(data)) {
                image = std::make_shared<const platform::RgbaImage>(std::move(*decoded));
            } else {
                platform::print("Preview image not shown:", decoded.error());
            }
            if (const auto self = weak.lock()) {
                self->queueApply(ticket, std::move(image));
            }
        },
        platform::QoS::userInitiated);
}

void PreviewImageModel::queueApply(std::uint64_t ticket, ImagePointer image) {
    platform::DispatchQueue::main().async(
        [weak = weak_from_this(), ticket, image = std::move(image)]() mutable {
            if (const auto self = weak.lock()) {
                self->apply(ticket, std::move(image));
            }
        });
}

void PreviewImageModel::apply(std::uint64_t ticket, ImagePointer image) {
    if (ticket < appliedTicket_) {
        return; // a later preview or clear is already shown
    }
    appliedTicket_ = ticket;
    if (previewImage.get()) {
        previewImage = std::move(image);
    } else {
        platform::withAnimation([&] { previewImage = std::move(image); });
    }
}

} // namespace qv
