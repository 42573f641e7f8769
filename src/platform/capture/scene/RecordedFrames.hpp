#pragma once

#include "platform/capture/CaptureDeviceFormat.hpp"
#include "platform/capture/scene/Scene.hpp"
#include "platform/dispatch/PoolTasks.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::platform {

// A folder of recorded frames replayed as the cameras' scene: its DNG, TIFF and JPEG files in
// name order, one per photo, starting over with a console line after the last (once per pass
// through the folder; a folder with one usable frame says it once). Live frames
// show the frame of the latest photo (the first frame before any). The next photo's frame is
// decoded ahead on a worker.
//
// Frames are read through the imaging layer: a DNG's mosaic as LibRaw unpacks it (any
// compression it reads), TIFF and JPEG as decoded. A frame that cannot be read or is not of
// the photo size is skipped with one line naming it (once); past 20 such lines the rest are
// counted in one line at the end of the pass through the folder. Each kind becomes what is asked
// of it: a JPEG or TIFF is linearised and taken into the sensor's colours (and mosaicked for
// a RAW photo), a DNG's mosaic is replayed as recorded (and demosaicked for processed
// frames). Where the file's Exif gives the exposure time (and ISO), the signal is scaled by
// the requested exposure over the recorded one. No noise is added. A live frame is converted
// once and copied to the live frames after it until the frame shown, the exposure, the white
// balance, the levels or the size change.
//
// A photo advances the folder (render() with FramePurpose::photo); rendering is otherwise
// safe from any thread. The scene's end waits for a decode ahead that has begun (one not yet
// begun is dropped), so none runs on after its owner let go.
class RecordedFrames final : public Scene {
public:
    // The frames of `folder` for photos of `photoSize`; null when there are none, and
    // `problem` says why in a few words ("does not exist", "is not a folder", "cannot be read
    // (Permission denied)", "no usable frame"). Unusable frames met on the way are named, each
    // in one line (20 at most, then one line counts the rest).
    static std::shared_ptr<RecordedFrames> open(const std::filesystem::path& folder,
                                                PixelDimensions photoSize, std::string& problem);
    ~RecordedFrames() override;

    void render(const SceneCamera& camera, const FrameExposure& exposure, FramePurpose purpose,
                PixelBuffer& out) const override;
    std::array<double, 3> meter(const SceneCamera& camera,
                                const FrameExposure& exposure) const override;

    struct Frame;
    struct Decoding;
    struct Catalogue;

private:
    struct LiveFrame;

    explicit RecordedFrames(std::shared_ptr<Catalogue> catalogue);
    std::shared_ptr<const Frame> takeNextForPhoto() const;
    void decodeAhead() const;
    // Renders `frame` as the sensor would record it at this exposure.
    void convert(const Frame& frame, const SceneCamera& camera, const FrameExposure& exposure,
                 PixelBuffer& out) const;

    // The folder's frame files and which of them are unusable; shared with the decode ahead.
    const std::shared_ptr<Catalogue> catalogue_;

    mutable std::mutex mutex_;                         // guards the fields below
    mutable std::shared_ptr<const Frame> shown_;       // what live frames show
    mutable std::shared_ptr<const Frame> next_;        // the next photo's frame
    mutable std::size_t nextIndex_ = 0;                // its file
    mutable std::shared_ptr<Decoding> decoding_;       // the one after, being decoded
    mutable std::optional<std::size_t> lastPhotoFile_; // the file of the latest photo
    mutable bool saidOneFrame_ = false; // a photo repeated the one before: one usable frame

    const std::unique_ptr<LiveFrame> live_; // live frames are converted once, then copied

    mutable PoolTasks decodes_; // last: ends first
};

} // namespace qv::platform
