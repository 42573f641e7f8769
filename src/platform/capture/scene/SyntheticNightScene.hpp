#pragma once

#include "platform/capture/scene/Scene.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace qv::platform {

namespace detail {
struct Star;
struct ViewTables;
} // namespace detail

struct SyntheticSceneOptions {
    std::uint32_t seed = 1;
    double latitude = 45;      // degrees north: where the celestial pole stands
    double viewAzimuth = 0;    // where the camera points: degrees from north, east positive
    double viewElevation = 30; // degrees above the horizon
    double skyEV = -6;         // EV100 of the sky overhead; it glows brighter towards the horizon
    bool stars = true;
    bool cars = true;
    bool sensorNoise = true;
    // A grey card of uniform EV100, a rectangle in fractions of the (landscape) frame.
    struct GreyCard {
        double x = 0.25;
        double y = 0.25;
        double width = 0.5;
        double height = 0.5;
        double ev100 = 0;
    };
    std::optional<GreyCard> greyCard;
};

// A night scene for the simulated cameras, seen by a phone held upright (the sky at the
// frame's left, see ViewGeometry.hpp): a sky that glows towards the horizon, a silhouette of
// hills, stars that turn about the celestial pole at 360 degrees per sidereal day (86164.09
// s) for the latitude and the frame's wall time, and cars on a road below the hills whose
// lights smear over the exposure. Stars and lights are blurred by the lens's distance from
// its infinity position; the sensor adds shot and read noise by ISO, dark current by time,
// and hot photosites. The same seed, frame start and settings give the same bytes.
//
// Live 'BGRA' frames (FramePurpose::live) take a cheaper road to the same picture: the sky,
// ground and card in the sensor's units are kept from one frame to the next and made again
// only when the frame's size, the field of view, the exposure time, ISO, aperture or levels
// change them; each frame lays them down row by row, adds the stars and lights where they
// stand now (blurred by the lens position), and draws its noise from a table of standard normal
// values at offsets of its own (NoiseTable.hpp) in the pass that white-balances and encodes the
// row. Photos, and live frames of other formats, are rendered in full, their noise drawn afresh
// for every photosite: live frames never change what a run merges.
class SyntheticNightScene final : public Scene {
public:
    explicit SyntheticNightScene(SyntheticSceneOptions options = {});
    ~SyntheticNightScene() override;

    void render(const SceneCamera& camera, const FrameExposure& exposure, FramePurpose purpose,
                PixelBuffer& out) const override;
    std::array<double, 3> meter(const SceneCamera& camera,
                                const FrameExposure& exposure) const override;

    const SyntheticSceneOptions& options() const { return options_; }

private:
    struct Frame;
    struct LiveFrames;
    // Which lights a frame gets: none (metering), every star through the full test (photos),
    // or the stars near the view's axis through it (live frames: the same splats, sooner).
    enum class Lights { none, all, nearTheView };
    // Fills `frame` (its storage reused) for a frame of that size.
    void prepare(const SceneCamera& camera, const FrameExposure& exposure, std::size_t width,
                 std::size_t height, Lights lights, Frame& frame) const;
    std::shared_ptr<const detail::ViewTables> tables(const SceneCamera& camera, std::size_t width,
                                                     std::size_t height) const;
    void renderPhoto(const SceneCamera& camera, const FrameExposure& exposure,
                     PixelBuffer& out) const;
    void renderLive(const SceneCamera& camera, const FrameExposure& exposure,
                    PixelBuffer& out) const;

    SyntheticSceneOptions options_;
    std::vector<detail::Star> stars_;
    mutable std::mutex tablesMutex_; // guards tables_
    mutable std::vector<std::shared_ptr<const detail::ViewTables>> tables_;
    const std::unique_ptr<LiveFrames> live_;
};

} // namespace qv::platform
