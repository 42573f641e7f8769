#include "platform/capture/scene/SyntheticNightScene.hpp"

#include "platform/capture/scene/RenderPool.hpp"
#include "platform/capture/scene/detail/FrameWriter.hpp"
#include "platform/capture/scene/detail/LightSplat.hpp"
#include "platform/capture/scene/detail/NoiseTable.hpp"
#include "platform/capture/scene/detail/SensorColor.hpp"
#include "platform/capture/scene/detail/StarField.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

namespace qv::platform {

namespace detail {

// What a frame of one size and field of view looks like apart from its lights: where the
// hills meet the sky in each row, the sky's colour in each column, the ground's colour.
struct ViewTables {
    std::size_t width = 0;
    std::size_t height = 0;
    double fieldOfView = 0;
    ViewGeometry geometry;
    std::vector<float> horizonX; // per row: the column where the ground begins
    std::vector<float> sky;      // per column: red, green, blue, in grey-card units
    std::array<float, 3> ground{};
};

} // namespace detail

namespace {

using detail::FramePoint;
using detail::LightSplat;
using detail::Star;
using detail::Vec3;

constexpr double radians = std::numbers::pi / 180.0;
constexpr double referenceWidth = 4032;
constexpr std::size_t starCount = 30000;
constexpr int carCount = 6;
constexpr std::size_t meterWidth = 64;
constexpr std::size_t meterHeight = 48;
constexpr std::size_t liveRowsPerTile = 8;

double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The height of the hills (degrees) towards an azimuth (degrees).
double hillHeight(double azimuth, std::uint32_t seed) {
    const double a = azimuth * radians;
    const double p = double(seed % 1000) * 0.01;
    const double hills = 1.2 + 0.7 * std::sin(3 * a + p) + 0.35 * std::sin(7 * a + 2 * p) +
                         0.15 * std::sin(23 * a + 3 * p);
    // Trees along the ridge: narrow crowns of uneven height.
    const double crowns = std::max(0.0, std::sin(180 * a + p)) * (0.25 + 0.2 * std::sin(41 * a));
    return hills + crowns;
}

std::array<float, 3> cameraColor(double r, double g, double b, double value) {
    const auto c = detail::multiply(detail::srgbToCamera(), {r, g, b});
    return {float(c[0] * value), float(c[1] * value), float(c[2] * value)};
}

// A car's light: it runs along a road below the hills, across a span of azimuths around the
// view, wrapping round.
struct Car {
    double elevation; // degrees
    double speed;     // degrees a second, signed
    double phase;     // 0...1 of its round at time 0
    bool headlight;   // white, else a red tail light
};

Car carNumber(int i, std::uint32_t seed) {
    const std::uint32_t h = (seed + 1) * 2654435761u + std::uint32_t(i) * 40503u;
    const double u = double(h % 1000) / 1000.0;
    const double v = double((h / 1000) % 1000) / 1000.0;
    const bool towards = (i % 2) == 0;
    return {-0.4 - 0.6 * v, (towards ? 1 : -1) * (1.5 + 2.5 * u), double(i) / carCount + 0.1 * v,
            towards};
}

constexpr double carSpan = 140;   // degrees of azimuth a car's round covers
constexpr double carFlux = 12000; // grey-card units summed over its image, per second

} // namespace

struct SyntheticNightScene::Frame {
    std::shared_ptr<const detail::ViewTables> tables;
    std::size_t width = 0;
    std::size_t height = 0;
    float scale = 0; // grey-card units to fractions of the range
    double sigma = 0.8;
    std::vector<LightSplat> splats;
    bool card = false;
    double cardX0 = 0, cardX1 = 0, cardY0 = 0, cardY1 = 0;
    std::array<float, 3> cardValue{};

    // Adds rows [firstRow, firstRow + rows) of the frame's signal to `signal`.
    template <class ColorAt>
    void addRows(float* signal, std::size_t firstRow, std::size_t rows, int channels,
                 ColorAt colorAt) const;

    // The horizon's soft edge, in pixels: the hills' share of a pixel rises from 0 to 1 over
    // twice this width.
    float horizonEdge() const { return float(std::max(sigma, 0.7)); }
    // The hills' share of pixel x of a row whose horizon lies at `horizon`.
    static float groundShare(std::size_t x, float horizon, float edge) {
        return std::clamp((float(x) + 0.5f - horizon) / (2 * edge) + 0.5f, 0.0f, 1.0f);
    }
    bool isCardRow(std::size_t y) const {
        return card && double(y) >= cardY0 && double(y) < cardY1;
    }
};

// What live frames keep from one to the next: the sky (by column), the ground and the grey
// card in DN above black, dark signal included, remade when what they depend on changes (the
// view's tables, the DN of a grey-card unit, the dark signal); and the latest frame, whose
// lights' storage is reused.
struct SyntheticNightScene::LiveFrames {
    std::mutex mutex; // one live frame at a time; guards the fields below
    std::shared_ptr<const detail::ViewTables> tables;
    float unitDN = -1; // DN of one grey-card unit of signal
    float dark = -1;
    std::vector<float> sky; // planes of red, green and blue, one value a column
    std::array<float, 3> ground{};
    std::array<float, 3> card{};
    Frame frame;

    // Remakes the sky, ground and card when the look of `frame` has changed.
    void update(float frameUnitDN, float frameDark);
    // Row y of the background: three planes of `width` values.
    void background(std::size_t y, float* row) const;
};

template <class ColorAt>
void SyntheticNightScene::Frame::addRows(float* signal, std::size_t firstRow, std::size_t rows,
                                         int channels, ColorAt colorAt) const {
    for (const LightSplat& s : splats) {
        if (s.bottom() >= double(firstRow) && s.top() < double(firstRow + rows)) {
            detail::addSplat(s, signal, width, firstRow, rows, channels, colorAt);
        }
    }
    const detail::ViewTables& t = *tables;
    const float edge = horizonEdge();
    for (std::size_t y = firstRow; y < firstRow + rows; ++y) {
        float* row = signal + (y - firstRow) * width * std::size_t(channels);
        const float horizon = t.horizonX[y];
        const bool cardRow = isCardRow(y);
        for (std::size_t x = 0; x < width; ++x) {
            const float share = groundShare(x, horizon, edge);
            const float* skyValue = &t.sky[x * 3];
            const bool onCard = cardRow && double(x) >= cardX0 && double(x) < cardX1;
            if (channels == 3) {
                for (std::size_t c = 0; c < 3; ++c) {
                    const float background =
                        onCard ? cardValue[c] : skyValue[c] + share * (t.ground[c] - skyValue[c]);
                    float& v = row[c * width + x];
                    v = (v + background) * scale;
                }
            } else {
                const auto c = std::size_t(colorAt(x, y));
                const float background =
                    onCard ? cardValue[c] : skyValue[c] + share * (t.ground[c] - skyValue[c]);
                row[x] = (row[x] + background) * scale;
            }
        }
    }
}

void SyntheticNightScene::LiveFrames::update(float frameUnitDN, float frameDark) {
    if (tables == frame.tables && unitDN == frameUnitDN && dark == frameDark) {
        return;
    }
    tables = frame.tables;
    unitDN = frameUnitDN;
    dark = frameDark;
    const std::size_t width = frame.width;
    sky.resize(3 * width);
    for (std::size_t c = 0; c < 3; ++c) {
        for (std::size_t x = 0; x < width; ++x) {
            sky[c * width + x] = tables->sky[x * 3 + c] * unitDN + dark;
        }
        ground[c] = tables->ground[c] * unitDN + dark;
        card[c] = frame.cardValue[c] * unitDN + dark;
    }
}

void SyntheticNightScene::LiveFrames::background(std::size_t y, float* row) const {
    const std::size_t width = frame.width;
    const float horizon = tables->horizonX[y];
    const float edge = frame.horizonEdge();
    // Sky before `from`, ground from `to` on (groundShare() is 0 and 1 there), the blend between.
    const auto column = [&](float x) { return std::size_t(std::clamp(x, 0.0f, float(width))); };
    const std::size_t from = column(std::floor(horizon - edge - 0.5f));
    const std::size_t to = std::max(from, column(std::ceil(horizon + edge - 0.5f) + 1));
    for (std::size_t c = 0; c < 3; ++c) {
        float* plane = row + c * width;
        const float* skyPlane = sky.data() + c * width;
        std::copy(skyPlane, skyPlane + from, plane);
        for (std::size_t x = from; x < to; ++x) {
            plane[x] =
                skyPlane[x] + Frame::groundShare(x, horizon, edge) * (ground[c] - skyPlane[x]);
        }
        std::fill(plane + to, plane + width, ground[c]);
        if (frame.isCardRow(y)) {
            // The columns x with cardX0 <= x < cardX1, as addRows() takes them.
            std::fill(plane + column(float(std::ceil(frame.cardX0))),
                      plane + column(float(std::ceil(frame.cardX1))), card[c]);
        }
    }
}

SyntheticNightScene::SyntheticNightScene(SyntheticSceneOptions options)
    : options_(options), stars_(options.stars ? detail::makeStarField(options.seed, starCount)
                                              : std::vector<detail::Star>{}),
      live_(std::make_unique<LiveFrames>()) {}

SyntheticNightScene::~SyntheticNightScene() = default;

std::shared_ptr<const detail::ViewTables> SyntheticNightScene::tables(const SceneCamera& camera,
                                                                      std::size_t width,
                                                                      std::size_t height) const {
    {
        std::lock_guard guard(tablesMutex_);
        for (const auto& t : tables_) {
            if (t->width == width && t->height == height && t->fieldOfView == camera.fieldOfView) {
                return t;
            }
        }
    }
    auto t = std::make_shared<detail::ViewTables>(
        detail::ViewTables{width,
                           height,
                           camera.fieldOfView,
                           detail::ViewGeometry(options_.viewAzimuth, options_.viewElevation,
                                                camera.fieldOfView, double(width), double(height)),
                           {},
                           {},
                           {}});
    const detail::ViewGeometry& g = t->geometry;
    // The hills: in each row, the column where a ray's elevation falls below the hills'
    // height towards its azimuth (up is the frame's left, so ground lies to the right).
    t->horizonX.resize(height);
    for (std::size_t y = 0; y < height; ++y) {
        double low = -double(width);
        double high = 2.0 * double(width);
        for (int i = 0; i < 40; ++i) {
            const double mid = (low + high) / 2;
            const Vec3 d = g.direction({mid, double(y) + 0.5});
            const bool ground =
                detail::elevationOf(d) < hillHeight(detail::azimuthOf(d), options_.seed);
            (ground ? high : low) = mid;
        }
        t->horizonX[y] = float((low + high) / 2);
    }
    // The sky: dark overhead, glowing orange towards the horizon (town lights).
    const double overhead = std::exp2(options_.skyEV);
    t->sky.resize(width * 3);
    for (std::size_t x = 0; x < width; ++x) {
        const double elevation =
            detail::elevationOf(g.direction({double(x) + 0.5, double(height) / 2}));
        const double glow = std::exp(-std::max(elevation, 0.0) / 12.0);
        const auto c = cameraColor(0.75 + 0.25 * glow, 0.85 - 0.1 * glow, 1.0 - 0.45 * glow,
                                   overhead * (1 + 3 * glow));
        std::copy(c.begin(), c.end(), t->sky.begin() + std::ptrdiff_t(x * 3));
    }
    t->ground = cameraColor(0.6, 0.55, 0.45, overhead * 0.25);
    std::lock_guard guard(tablesMutex_);
    if (tables_.size() >= 4) {
        tables_.erase(tables_.begin());
    }
    tables_.push_back(t);
    return t;
}

void SyntheticNightScene::prepare(const SceneCamera& camera, const FrameExposure& exposure,
                                  std::size_t width, std::size_t height, Lights lights,
                                  Frame& f) const {
    f.splats.clear();
    f.card = false;
    f.tables = tables(camera, width, height);
    f.width = width;
    f.height = height;
    const double t = std::max(exposure.durationSeconds, 1e-9);
    const double aperture = std::max(camera.aperture, 0.5);
    // A grey card at the exposure's EV100 reads 18 % of the range.
    f.scale = float(0.18 * t * (double(exposure.iso) / 100.0) / (aperture * aperture));
    const double pixelScale = double(width) / referenceWidth;
    const double defocus = std::abs(double(exposure.lensPosition) - camera.infinityLensPosition);
    const double blur = 6.0 * defocus * (1.78 / aperture) * pixelScale;
    f.sigma = std::sqrt(0.8 * 0.8 + blur * blur);
    const double fluxScale = pixelScale * pixelScale;
    const detail::ViewGeometry& g = f.tables->geometry;
    const auto hiddenByHills = [&](FramePoint p) {
        const std::size_t row = std::size_t(std::clamp(p.y, 0.0, double(height) - 1));
        return p.x > double(f.tables->horizonX[row]);
    };
    const auto inReach = [&](FramePoint a, FramePoint b) {
        const double margin = 3 * f.sigma;
        return std::max(a.x, b.x) >= -margin && std::min(a.x, b.x) <= double(width) + margin &&
               std::max(a.y, b.y) >= -margin && std::min(a.y, b.y) <= double(height) + margin;
    };

    // Stars, from where they stood when the exposure began to where they stood at its end.
    const double latitude = options_.latitude * radians;
    const double thetaStart = detail::siderealAngle(exposure.wallStart);
    const double thetaEnd = thetaStart + 2 * std::numbers::pi * t / detail::siderealDaySeconds;
    const detail::SkyTurn skyAtStart(latitude, thetaStart);
    const detail::SkyTurn skyAtEnd(latitude, thetaEnd);
    // Live frames skip, by one dot product each, the stars that stand too far from the view's
    // axis for them or their light to reach the frame over the exposure; photos take every
    // star through the full test, which gives them the same splats.
    const Vec3 axis = skyAtStart.equatorialDirection(g.forward());
    double nearest = -2; // the cosine of the farthest angle from the axis a star may stand at
    if (lights == Lights::nearTheView) {
        const double corner =
            std::hypot(double(width) / 2 + 3 * f.sigma + 2, double(height) / 2 + 3 * f.sigma + 2);
        const double turn = 2 * std::numbers::pi * t / detail::siderealDaySeconds;
        const double reach = std::atan(corner / g.focalLengthPixels()) + turn + 1 * radians;
        nearest = reach < std::numbers::pi ? std::cos(reach) : -2;
    }
    for (const detail::Star& star :
         lights == Lights::none ? std::span<const Star>() : std::span(stars_)) {
        if (dot(star.equatorial, axis) < nearest) {
            continue;
        }
        const Vec3 d0 = skyAtStart.horizonDirection(star.equatorial);
        if (d0[2] < -0.1) {
            continue;
        }
        const auto p0 = g.project(d0);
        const auto p1 = g.project(skyAtEnd.horizonDirection(star.equatorial));
        if (!p0 || !p1 || !inReach(*p0, *p1) || hiddenByHills(*p0)) {
            continue;
        }
        const float flux = float(star.flux * fluxScale);
        f.splats.push_back({*p0,
                            *p1,
                            f.sigma,
                            {flux * star.color[0], flux * star.color[1], flux * star.color[2]}});
    }

    // Cars: a path per round of the road that the exposure covers.
    if (options_.cars && lights != Lights::none) {
        const double start = secondsSince1970(exposure.wallStart);
        for (int i = 0; i < carCount; ++i) {
            const Car car = carNumber(i, options_.seed);
            const auto color =
                car.headlight ? cameraColor(1.0, 0.92, 0.8, 1) : cameraColor(1.0, 0.08, 0.04, 1);
            const double roundsPerSecond = car.speed / carSpan;
            const double u0 = start * roundsPerSecond + car.phase;
            const double u1 = u0 + t * roundsPerSecond;
            const double lo = std::min(u0, u1);
            const double hi = std::max(u0, u1);
            for (double round = std::floor(lo); round < hi && round < std::floor(lo) + 3;
                 round += 1) {
                const double a = std::max(lo, round) - round;
                const double b = std::min(hi, round + 1) - round;
                const auto at = [&](double u) {
                    const double az = options_.viewAzimuth + carSpan * (u - 0.5);
                    const double e = car.elevation * radians;
                    return g.project({std::sin(az * radians) * std::cos(e),
                                      std::cos(az * radians) * std::cos(e), std::sin(e)});
                };
                const auto pa = at(a);
                const auto pb = at(b);
                if (!pa || !pb || !inReach(*pa, *pb)) {
                    continue;
                }
                // The light's share of the exposure on this path.
                const float flux =
                    float(carFlux * fluxScale * (b - a) / std::abs(roundsPerSecond) / t);
                f.splats.push_back(
                    {*pa, *pb, f.sigma, {flux * color[0], flux * color[1], flux * color[2]}});
            }
        }
    }

    if (options_.greyCard) {
        const auto& c = *options_.greyCard;
        f.card = true;
        f.cardX0 = c.x * double(width);
        f.cardX1 = (c.x + c.width) * double(width);
        f.cardY0 = c.y * double(height);
        f.cardY1 = (c.y + c.height) * double(height);
        f.cardValue = cameraColor(1, 1, 1, std::exp2(c.ev100));
    }
}

void SyntheticNightScene::render(const SceneCamera& camera, const FrameExposure& exposure,
                                 FramePurpose purpose, PixelBuffer& out) const {
    if (purpose == FramePurpose::live && out.pixelFormat() == pixelformat::bgra32 &&
        out.width() <= detail::NoiseTable::size) {
        renderLive(camera, exposure, out);
    } else {
        renderPhoto(camera, exposure, out);
    }
}

void SyntheticNightScene::renderPhoto(const SceneCamera& camera, const FrameExposure& exposure,
                                      PixelBuffer& out) const {
    detail::SensorNoise noise = detail::SensorNoise::forExposure(camera, exposure);
    noise.enabled = options_.sensorNoise;
    out.lock();
    const detail::FrameWriter writer(out, camera, exposure, noise);
    Frame frame;
    prepare(camera, exposure, out.width(), out.height(), Lights::all, frame);
    const int channels = writer.channelsPerPixel();
    const std::size_t rowsPerTile = channels == 3 ? 8 : 16;

    struct Job {
        const Frame* frame;
        const detail::FrameWriter* writer;
        int channels;
        std::size_t rowsPerTile;
    } job{&frame, &writer, channels, rowsPerTile};
    const std::size_t tiles = (out.height() + rowsPerTile - 1) / rowsPerTile;
    renderPool().run(
        tiles,
        [](void* context, std::size_t tile) {
            const Job& j = *static_cast<const Job*>(context);
            const std::size_t first = tile * j.rowsPerTile;
            const std::size_t rows = std::min(j.rowsPerTile, j.frame->height - first);
            const std::size_t rowLength = j.frame->width * std::size_t(j.channels);
            // Each worker keeps its scratch rows; they are all zero between tiles.
            thread_local std::vector<float> scratch;
            if (scratch.size() < rowLength * j.rowsPerTile) {
                scratch.assign(rowLength * j.rowsPerTile, 0.0f);
            }
            j.frame->addRows(
                scratch.data(), first, rows, j.channels,
                [w = j.writer](std::size_t x, std::size_t y) { return w->bayerColor(x, y); });
            for (std::size_t r = 0; r < rows; ++r) {
                float* row = scratch.data() + r * rowLength;
                j.writer->writeRow(first + r, row);
                std::fill(row, row + rowLength, 0.0f);
            }
        },
        &job);
    out.unlock();
}

void SyntheticNightScene::renderLive(const SceneCamera& camera, const FrameExposure& exposure,
                                     PixelBuffer& out) const {
    detail::SensorNoise noise = detail::SensorNoise::forExposure(camera, exposure);
    noise.enabled = options_.sensorNoise;
    std::lock_guard guard(live_->mutex);
    LiveFrames& live = *live_;
    out.lock();
    const detail::FrameWriter writer(out, camera, exposure, noise);
    prepare(camera, exposure, out.width(), out.height(), Lights::nearTheView, live.frame);
    const float unitDN = live.frame.scale * writer.rangeDN();
    live.update(unitDN, writer.darkSignal());
    // In DN, and by their first row, so each tile finds its own.
    double tallest = 0;
    for (LightSplat& s : live.frame.splats) {
        for (float& f : s.flux) {
            f *= unitDN;
        }
        tallest = std::max(tallest, s.bottom() - s.top());
    }
    std::sort(live.frame.splats.begin(), live.frame.splats.end(),
              [](const LightSplat& a, const LightSplat& b) { return a.top() < b.top(); });

    struct Job {
        const LiveFrames* live;
        const detail::FrameWriter* writer;
        double tallest;
    } job{&live, &writer, tallest};
    const std::size_t tiles = (out.height() + liveRowsPerTile - 1) / liveRowsPerTile;
    renderPool().run(
        tiles,
        [](void* context, std::size_t tile) {
            const Job& j = *static_cast<const Job*>(context);
            const Frame& f = j.live->frame;
            const std::size_t first = tile * liveRowsPerTile;
            const std::size_t rows = std::min(liveRowsPerTile, f.height - first);
            const std::size_t rowLength = f.width * 3;
            thread_local std::vector<float> scratch;
            scratch.resize(std::max(scratch.size(), rowLength * liveRowsPerTile));
            for (std::size_t r = 0; r < rows; ++r) {
                j.live->background(first + r, scratch.data() + r * rowLength);
            }
            const auto reaching =
                std::lower_bound(f.splats.begin(), f.splats.end(), double(first) - j.tallest,
                                 [](const LightSplat& s, double row) { return s.top() < row; });
            for (auto s = reaching; s != f.splats.end() && s->top() < double(first + rows); ++s) {
                if (s->bottom() >= double(first)) {
                    detail::addSplat(*s, scratch.data(), f.width, first, rows, 3,
                                     [](std::size_t, std::size_t) { return 0; });
                }
            }
            for (std::size_t r = 0; r < rows; ++r) {
                j.writer->writeLiveRow(first + r, scratch.data() + r * rowLength);
            }
        },
        &job);
    out.unlock();
}

std::array<double, 3> SyntheticNightScene::meter(const SceneCamera& camera,
                                                 const FrameExposure& exposure) const {
    // The lights are too small to move the mean; the sky and hills are what is metered.
    Frame frame;
    prepare(camera, exposure, meterWidth, meterHeight, Lights::none, frame);
    std::vector<float> signal(meterWidth * meterHeight * 3, 0.0f);
    frame.addRows(signal.data(), 0, meterHeight, 3, [](std::size_t, std::size_t) { return 0; });
    std::array<double, 3> sum{};
    for (std::size_t i = 0; i < signal.size(); ++i) {
        sum[(i / meterWidth) % 3] += std::min(1.0f, signal[i]); // rows of three planes
    }
    for (double& s : sum) {
        s /= double(meterWidth * meterHeight);
    }
    return sum;
}

} // namespace qv::platform
