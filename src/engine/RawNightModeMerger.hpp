#pragma once

#include "engine/GpuPhotoMerger.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/media/Metadata.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

namespace qv {

// Lower and upper limits of the red, green and blue samples of a Bayer frame.
struct NightLimits {
    static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
    std::array<std::uint32_t, 3> lower{0, 0, 0};
    std::array<std::uint32_t, 3> upper{none, none, none};
    friend bool operator==(const NightLimits&, const NightLimits&) = default;
};

// The limits the merge mode takes from a photo's DNG metadata: the black level
// for every colour or the black clipping points below, the white clipping
// points above, no limit otherwise (0 below, the top of 32 bits above). A
// colour that a short clipping-point list leaves out (an as-shot neutral with
// fewer than three entries) gets no limit.
NightLimits nightClippingLimits(BetaNightMergeMode mode, const platform::MetadataDictionary& photo);

// The result's gain for an exposure compensation in EV: 2^EV as a float,
// 1 for a value that is not finite, kept within [2^-16, 2^16].
float nightGain(double exposureCompensation);

// Merges the Bayer RAW frames of a night run: each sample is clamped to the
// limits of its colour before it is added, and the result is the mean with
// its distance above the black level multiplied by the gain, clamped to the
// colour's upper limit. The limits come from the merge mode, read at every
// addition and result, and from the photo kept before (the creating photo
// for the first frame, the latest frame for the result).
//
// Console texts: the frame's levels, number and limits at every addition
// ("-----Night Mode add photo"), "Adding photo takes <s> seconds", and the
// limits of the result ("Lower limits: ", "Upper limits: ").
class MetalRAWNightModePhotoMerger final : public GpuPhotoMerger {
public:
    using MergeModeSource = std::function<BetaNightMergeMode()>;

    // The merger for a run whose first photo is `photo`; nothing when its
    // GPU objects cannot be made. countFirstPhoto false: the photo only sizes
    // the merger (0 frames, an empty sum). `mergeMode` is asked at every
    // addition and result.
    static std::unique_ptr<MetalRAWNightModePhotoMerger> make(const PhotoPtr& photo,
                                                              bool countFirstPhoto,
                                                              Customizer& customizer,
                                                              MergeModeSource mergeMode);

    void addPhoto(const PhotoPtr& photo) override;
    // The index is not used; the compensation gives the gain.
    std::optional<FileData> resultData(int index, double exposureCompensation) override;

    // Clears the sum; the frame count is 0 again.
    void resetAccumulation();

private:
    MetalRAWNightModePhotoMerger(std::unique_ptr<GpuMergeFrame> frame, Customizer& customizer,
                                 MergeModeSource mergeMode)
        : GpuPhotoMerger(std::move(frame), customizer), mergeMode_(std::move(mergeMode)) {}

    NightLimits limitsFromKeptPhoto() const;

    MergeModeSource mergeMode_;
    std::array<std::uint8_t, 4> cell_{};
};

} // namespace qv
