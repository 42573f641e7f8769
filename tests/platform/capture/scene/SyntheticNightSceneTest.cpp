// The synthetic night scene as the sensor records it: exposure calibration, determinism, the
// sky's turn, moving lights and focus blur, measured in rendered frames.
#include "platform/capture/scene/SyntheticNightScene.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <thread>

namespace qv::platform {
namespace {

constexpr double startOf2024 = 1704067200.0;

FrameExposure exposureOf(double seconds, float iso,
                         double wallSeconds = startOf2024 + 22 * 3600.0) {
    FrameExposure e;
    e.durationSeconds = seconds;
    e.iso = iso;
    e.lensPosition = 0.9f;
    e.wallStart = wallTimeFromSeconds(wallSeconds);
    e.start = MonotonicTime(std::chrono::nanoseconds(std::int64_t(wallSeconds * 1e9)));
    return e;
}

double ev100(const SceneCamera& c, const FrameExposure& e) {
    return std::log2(c.aperture * c.aperture / e.durationSeconds) - std::log2(e.iso / 100.0);
}

// The mean of the green photosites of an RGGB mosaic.
double meanGreen(const PixelBuffer& mosaic) {
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t y = 0; y < mosaic.height(); ++y) {
        for (std::size_t x = (y + 1) % 2; x < mosaic.width(); x += 2) {
            sum += mosaic.row<std::uint16_t>(y)[x];
            ++count;
        }
    }
    return sum / double(count);
}

// Channel c of a linear 'l64r' frame as 0...1.
double linear(const PixelBuffer& frame, std::size_t x, std::size_t y, std::size_t c = 1) {
    return frame.row<std::uint16_t>(y)[x * 4 + c] / 65535.0;
}

struct Spot {
    double x = 0;
    double y = 0;
    double peak = 0;
    double sigma = 0;
};

// The brightest pixel within `radius` of (cx, cy), and the light around it: its centroid and
// its spread (the root of the mean second moment), over a window of `half` pixels.
Spot brightestSpot(const PixelBuffer& f, double cx, double cy, double radius, int half = 6) {
    Spot best;
    std::size_t bx = 0;
    std::size_t by = 0;
    for (std::size_t y = std::size_t(half); y + std::size_t(half) < f.height(); ++y) {
        for (std::size_t x = std::size_t(half); x + std::size_t(half) < f.width(); ++x) {
            if (std::hypot(double(x) - cx, double(y) - cy) > radius) {
                continue;
            }
            if (const double v = linear(f, x, y); v > best.peak) {
                best.peak = v;
                bx = x;
                by = y;
            }
        }
    }
    double total = 0, mx = 0, my = 0;
    for (int dy = -half; dy <= half; ++dy) {
        for (int dx = -half; dx <= half; ++dx) {
            const double v = linear(f, bx + std::size_t(dx), by + std::size_t(dy));
            total += v;
            mx += v * dx;
            my += v * dy;
        }
    }
    mx /= total;
    my /= total;
    double spread = 0;
    for (int dy = -half; dy <= half; ++dy) {
        for (int dx = -half; dx <= half; ++dx) {
            const double v = linear(f, bx + std::size_t(dx), by + std::size_t(dy));
            spread += v * ((dx - mx) * (dx - mx) + (dy - my) * (dy - my));
        }
    }
    best.x = double(bx) + 0.5 + mx;
    best.y = double(by) + 0.5 + my;
    best.sigma = std::sqrt(spread / total / 2);
    return best;
}

std::shared_ptr<PixelBuffer> render(const SyntheticNightScene& scene, const FrameExposure& e,
                                    std::size_t width, std::size_t height, FourCharCode format,
                                    const SceneCamera& camera = {},
                                    FramePurpose purpose = FramePurpose::photo) {
    auto buffer = PixelBuffer::make(width, height, format);
    scene.render(camera, e, purpose, *buffer);
    return buffer;
}

// A live 'BGRA' frame.
std::shared_ptr<PixelBuffer> live(const SyntheticNightScene& scene, const FrameExposure& e,
                                  std::size_t width = 480, std::size_t height = 360,
                                  const SceneCamera& camera = {}) {
    return render(scene, e, width, height, pixelformat::bgra32, camera, FramePurpose::live);
}

bool sameBytes(const PixelBuffer& a, const PixelBuffer& b) {
    return a.dataSize() == b.dataSize() &&
           std::memcmp(a.baseAddress(), b.baseAddress(), a.dataSize()) == 0;
}

// The largest difference of two 'BGRA' frames in any channel, and how many pixels differ.
struct Difference {
    int largest = 0;
    std::size_t pixels = 0;
};
Difference differenceOf(const PixelBuffer& a, const PixelBuffer& b) {
    Difference d;
    for (std::size_t y = 0; y < a.height(); ++y) {
        for (std::size_t x = 0; x < a.width(); ++x) {
            int largest = 0;
            for (std::size_t c = 0; c < 4; ++c) {
                largest = std::max(largest, std::abs(int(a.row<std::uint8_t>(y)[4 * x + c]) -
                                                     int(b.row<std::uint8_t>(y)[4 * x + c])));
            }
            d.largest = std::max(d.largest, largest);
            d.pixels += largest > 0 ? 1 : 0;
        }
    }
    return d;
}

SyntheticSceneOptions greyCardEverywhere(double ev) {
    SyntheticSceneOptions o;
    o.greyCard = SyntheticSceneOptions::GreyCard{0, 0, 1, 1, ev};
    return o;
}

TEST(SyntheticNightScene, GreyCardAtTheExposuresEV100Reads18PercentAndScalesWithTimeAndISO) {
    const SceneCamera camera;
    const FrameExposure base = exposureOf(0.5, 400);
    const SyntheticNightScene scene(greyCardEverywhere(ev100(camera, base)));
    const double reference = meanGreen(*render(scene, base, 160, 120, pixelformat::bayer14RGGB));
    EXPECT_NEAR(reference, 0.18 * (16383 - 528) + 528, 3382 * 0.01); // 3382

    FrameExposure longer = base;
    longer.durationSeconds = 1;
    FrameExposure faster = base;
    faster.iso = 800;
    for (const FrameExposure& doubled : {longer, faster}) {
        const double twice = meanGreen(*render(scene, doubled, 160, 120, pixelformat::bayer14RGGB));
        EXPECT_NEAR((twice - 528) / (reference - 528), 2.0, 0.03);
    }
}

TEST(SyntheticNightScene, SameSeedFrameAndSettingsGiveTheSameBytes) {
    const SyntheticNightScene scene;
    const FrameExposure e = exposureOf(2, 1600);
    for (FourCharCode format :
         {pixelformat::bayer14RGGB, pixelformat::bgra32, pixelformat::rgba64LE}) {
        const auto a = render(scene, e, 320, 240, format);
        const auto b = render(SyntheticNightScene(), e, 320, 240, format);
        ASSERT_EQ(a->dataSize(), b->dataSize());
        EXPECT_EQ(std::memcmp(a->baseAddress(), b->baseAddress(), a->dataSize()), 0);
        FrameExposure later = e;
        later.start += std::chrono::seconds(1);
        const auto c = render(scene, later, 320, 240, format);
        EXPECT_NE(std::memcmp(a->baseAddress(), c->baseAddress(), a->dataSize()), 0); // new noise
    }
    SyntheticSceneOptions other;
    other.seed = 2;
    const auto a = render(scene, e, 320, 240, pixelformat::bayer14RGGB);
    const auto d = render(SyntheticNightScene(other), e, 320, 240, pixelformat::bayer14RGGB);
    EXPECT_NE(std::memcmp(a->baseAddress(), d->baseAddress(), a->dataSize()), 0);
}

// FNV-1a over the pixels of a frame (its rows without their padding).
std::uint64_t checksum(const PixelBuffer& frame) {
    const std::size_t bytesPerPixel = frame.pixelFormat() == pixelformat::bayer14RGGB ? 2
                                      : frame.pixelFormat() == pixelformat::rgba64LE  ? 8
                                                                                      : 4;
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (std::size_t y = 0; y < frame.height(); ++y) {
        const auto* row = frame.row<std::uint8_t>(y);
        for (std::size_t i = 0; i < frame.width() * bytesPerPixel; ++i) {
            hash = (hash ^ row[i]) * 0x100000001B3u;
        }
    }
    return hash;
}

// Photos are the bytes they have always been: what runs merge must not change with the
// live frames' shortcuts. The checksums were taken from the renderer before live frames had
// a path of their own; the sensor's row loops are built without contraction, so they hold on
// every processor level.
TEST(SyntheticNightScene, PhotosAreTheBytesTheyWere) {
    const SyntheticNightScene scene;
    FrameExposure e = exposureOf(1, 1600);
    e.lensPosition = 0.7f; // a little out of focus: the blur is part of the picture
    e.whiteBalanceGains = {1.9f, 1.0f, 1.6f};
    const std::pair<FourCharCode, std::uint64_t> expected[] = {
        {pixelformat::bayer14RGGB, 10463879092705558284u},
        {pixelformat::bgra32, 15594259546645287243u},
        {pixelformat::rgba64LE, 8214289831412406285u},
    };
    for (const auto& [format, sum] : expected) {
        EXPECT_EQ(checksum(*render(scene, e, 400, 300, format)), sum) << format;
    }
}

// A sky of stars alone, noiseless, for measuring them.
SyntheticSceneOptions starsOnly() {
    SyntheticSceneOptions o;
    o.cars = false;
    o.sensorNoise = false;
    o.skyEV = -30;
    return o;
}

TEST(SyntheticNightScene, StarsTurnFifteenDegreesAnHourAboutThePole) {
    SyntheticSceneOptions o = starsOnly();
    o.viewElevation = o.latitude; // the pole at the frame's centre
    const SyntheticNightScene scene(o);
    const double start = startOf2024 + 3600.0;
    const auto first =
        render(scene, exposureOf(0.05, 3200, start), 1008, 756, pixelformat::rgba64LE);
    const auto second =
        render(scene, exposureOf(0.05, 3200, start + 3600), 1008, 756, pixelformat::rgba64LE);
    const double cx = 504, cy = 378;
    const Spot a = brightestSpot(*first, cx, cy, 340);
    ASSERT_GT(a.peak, 0.05);
    const double r = std::hypot(a.x - cx, a.y - cy);
    ASSERT_GT(r, 60); // far enough from the pole to measure its angle well
    // The same star an hour later: near where a turn of 15 degrees either way puts it.
    Spot b;
    for (double sign : {1.0, -1.0}) {
        const double angle = std::atan2(a.y - cy, a.x - cx) + sign * 15.0 * std::numbers::pi / 180;
        const Spot s =
            brightestSpot(*second, cx + r * std::cos(angle), cy + r * std::sin(angle), 8);
        b = s.peak > b.peak ? s : b;
    }
    EXPECT_NEAR(b.peak, a.peak, 0.2 * a.peak);
    EXPECT_NEAR(std::hypot(b.x - cx, b.y - cy), r, 1.5);
    double turn = std::abs(std::atan2(b.y - cy, b.x - cx) - std::atan2(a.y - cy, a.x - cx)) * 180 /
                  std::numbers::pi;
    turn = std::min(turn, 360 - turn);
    EXPECT_NEAR(turn, 360.0 * 3600 / 86164.09, 0.2); // 15.04 degrees
}

TEST(SyntheticNightScene, StarsAreSharpAtInfinityAndBroadAtTheNearestLensPosition) {
    const SyntheticNightScene scene(starsOnly());
    const SceneCamera camera; // sharp at 0.9
    FrameExposure e = exposureOf(0.02, 400);
    const auto sharp = render(scene, e, 4032, 3024, pixelformat::rgba64LE, camera);
    const Spot focused = brightestSpot(*sharp, 2016, 1512, 1500, 8);
    ASSERT_LT(focused.peak, 0.99) << "a saturated star cannot be measured";
    EXPECT_LE(2.355 * focused.sigma, 2.5);

    e.lensPosition = 0;
    const auto blurred = render(scene, e, 4032, 3024, pixelformat::rgba64LE, camera);
    const Spot wide = brightestSpot(*blurred, focused.x, focused.y, 3, 24);
    EXPECT_GE(2.355 * wide.sigma, 10.0);
}

// The brightest pixels of a frame of lights alone, as points.
std::vector<Spot> lights(const PixelBuffer& f, double threshold) {
    std::vector<Spot> found;
    for (std::size_t y = 1; y + 1 < f.height(); ++y) {
        for (std::size_t x = 1; x + 1 < f.width(); ++x) {
            const double v = linear(f, x, y, 0);
            if (v < threshold) {
                continue;
            }
            bool peak = true;
            for (int dy = -1; dy <= 1 && peak; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx || dy) && linear(f, x + std::size_t(dx), y + std::size_t(dy), 0) > v) {
                        peak = false;
                    }
                }
            }
            if (peak) {
                found.push_back({double(x), double(y), v, 0});
            }
        }
    }
    return found;
}

TEST(SyntheticNightScene, ACarLightIsADotAtAHundredthAndAStreakOfItsSpeedAtOneSecond) {
    SyntheticSceneOptions o;
    o.stars = false;
    o.sensorNoise = false;
    o.skyEV = -30;
    const SyntheticNightScene scene(o);
    const double start = startOf2024 + 100;
    const auto now = render(scene, exposureOf(0.01, 1600, start), 1008, 756, pixelformat::rgba64LE);
    const auto later =
        render(scene, exposureOf(0.01, 1600, start + 1), 1008, 756, pixelformat::rgba64LE);
    const auto dots = lights(*now, 0.05);
    ASSERT_FALSE(dots.empty());
    // The brightest light, and a second later the light nearest it on its road (the road
    // runs along the frame's columns).
    const Spot dot = *std::max_element(
        dots.begin(), dots.end(), [](const Spot& p, const Spot& q) { return p.peak < q.peak; });
    Spot there = dot;
    double nearest = 1e9;
    for (const Spot& s : lights(*later, 0.05)) {
        if (std::abs(s.x - dot.x) < 3 && std::abs(s.y - dot.y) < nearest) {
            nearest = std::abs(s.y - dot.y);
            there = s;
        }
    }
    const double travelled = std::hypot(there.x - dot.x, there.y - dot.y);
    ASSERT_GT(travelled, 20);
    const double ux = (there.x - dot.x) / travelled;
    const double uy = (there.y - dot.y) / travelled;
    const auto along = [&](const PixelBuffer& f, double d) {
        return linear(f, std::size_t(dot.x + ux * d + 0.5), std::size_t(dot.y + uy * d + 0.5), 0);
    };
    EXPECT_LT(along(*now, 4), dot.peak * 0.05);

    // The one-second streak covers the path from the dot to where it is a second later.
    const auto streak = render(scene, exposureOf(1, 100, start), 1008, 756, pixelformat::rgba64LE);
    const double middle = along(*streak, travelled / 2);
    ASSERT_GT(middle, 0);
    double length = 0;
    for (double d = -10; d < travelled + 10; d += 0.25) {
        length += along(*streak, d) > middle / 2 ? 0.25 : 0;
    }
    EXPECT_NEAR(length, travelled, 0.05 * travelled + 2);
}

TEST(SyntheticNightScene, MeterReadsTheSkyAndHillsAsTheSensorDoes) {
    const SceneCamera camera;
    const FrameExposure e = exposureOf(1, 400);
    const SyntheticNightScene scene(greyCardEverywhere(ev100(camera, e)));
    const auto mean = scene.meter(camera, e);
    EXPECT_NEAR(mean[1], 0.18, 0.002);
    EXPECT_LT(mean[0], mean[1]); // a grey in the sensor's own colours: less red and blue
    EXPECT_LT(mean[2], mean[1]);
}

// Live frames: the same picture as a photo of the same exposure, made the cheap way.

TEST(SyntheticNightScene, ALiveFrameWithoutNoiseIsThePhotoOfItsExposure) {
    SyntheticSceneOptions noiseless;
    noiseless.sensorNoise = false;
    SyntheticSceneOptions card = noiseless;
    card.greyCard = SyntheticSceneOptions::GreyCard{0.1, 0.2, 0.3, 0.4, -3};
    for (const SyntheticSceneOptions& options : {noiseless, card}) {
        const SyntheticNightScene scene(options);
        FrameExposure e = exposureOf(0.5, 3200);
        e.whiteBalanceGains = {1.9f, 1.0f, 1.6f};
        for (float lens : {0.9f, 0.2f}) { // sharp, then blurred stars and horizon
            e.lensPosition = lens;
            const auto photo = render(scene, e, 480, 360, pixelformat::bgra32);
            const Difference d = differenceOf(*live(scene, e), *photo);
            EXPECT_LE(d.largest, 1) << "lens " << lens; // the sums are made in another order
            EXPECT_LT(d.pixels, 480 * 360 / 100);
        }
    }
}

// The channel values of the pixels of a frame: their mean and standard deviation.
std::pair<double, double> spreadOf(const PixelBuffer& f, std::size_t channel) {
    double sum = 0, squares = 0;
    const double n = double(f.width() * f.height());
    for (std::size_t y = 0; y < f.height(); ++y) {
        for (std::size_t x = 0; x < f.width(); ++x) {
            const double v = f.row<std::uint8_t>(y)[4 * x + channel];
            sum += v;
            squares += v * v;
        }
    }
    return {sum / n, std::sqrt(squares / n - (sum / n) * (sum / n))};
}

TEST(SyntheticNightScene, ALiveFramesNoiseHasThePhotosSpread) {
    const SceneCamera camera;
    FrameExposure e = exposureOf(0.1, 3200);
    const SyntheticNightScene scene(greyCardEverywhere(ev100(camera, e) - 3));
    const auto photo = render(scene, e, 480, 360, pixelformat::bgra32);
    const auto frame = live(scene, e);
    for (std::size_t c = 0; c < 3; ++c) {
        const auto [photoMean, photoSpread] = spreadOf(*photo, c);
        const auto [liveMean, liveSpread] = spreadOf(*frame, c);
        ASSERT_GT(photoSpread, 3) << "noise to compare";
        EXPECT_NEAR(liveMean, photoMean, 0.5);
        EXPECT_NEAR(liveSpread, photoSpread, 0.05 * photoSpread);
    }
}

TEST(SyntheticNightScene, LiveFramesKeepMoving) {
    const SyntheticNightScene scene;
    FrameExposure e = exposureOf(0.1, 3072);
    const auto first = live(scene, e);
    e.start += std::chrono::milliseconds(100);
    e.wallStart += std::chrono::milliseconds(100);
    EXPECT_GT(differenceOf(*first, *live(scene, e)).pixels, 480 * 360 / 2); // new noise

    SyntheticSceneOptions lightsOnly;
    lightsOnly.sensorNoise = false;
    const SyntheticNightScene still(lightsOnly);
    const auto now = live(still, e);
    EXPECT_TRUE(sameBytes(*now, *live(still, e)));
    FrameExposure later = e;
    later.wallStart += std::chrono::seconds(1); // the cars drive on
    EXPECT_GT(differenceOf(*now, *live(still, later)).largest, 20);
    later.wallStart += std::chrono::minutes(10); // the stars turn
    lightsOnly.cars = false;
    const SyntheticNightScene stars(lightsOnly);
    EXPECT_GT(differenceOf(*live(stars, e), *live(stars, later)).largest, 20);
}

// What a live frame keeps from the one before is made again whenever its look changes: after
// each change the frame is the one a scene that never made a live frame gives.
TEST(SyntheticNightScene, ALiveFrameFollowsEveryChangeOfItsLook) {
    const SyntheticNightScene scene;
    FrameExposure e = exposureOf(0.1, 3072);
    SceneCamera camera;
    auto before = live(scene, e, 480, 360, camera);
    const auto changes = std::vector<std::pair<const char*, std::function<void()>>>{
        {"exposure time", [&] { e.durationSeconds = 0.05; }},
        {"ISO", [&] { e.iso = 1000; }},
        {"focus", [&] { e.lensPosition = 0.3f; }},
        {"white balance",
         [&] {
             e.whiteBalanceGains = {2.0f, 1.0f, 1.5f};
         }},
        {"aperture", [&] { camera.aperture = 2.8; }},
        {"field of view", [&] { camera.fieldOfView = 26.3; }},
        {"levels", [&] { camera.blackLevel = 1024; }},
    };
    for (const auto& [name, change] : changes) {
        change();
        const auto after = live(scene, e, 480, 360, camera);
        EXPECT_TRUE(sameBytes(*after, *live(SyntheticNightScene(), e, 480, 360, camera))) << name;
        EXPECT_FALSE(sameBytes(*before, *after)) << name;
        before = after;
    }
    const auto smaller = live(scene, e, 320, 240, camera);
    EXPECT_TRUE(sameBytes(*smaller, *live(SyntheticNightScene(), e, 320, 240, camera)));
}

TEST(SyntheticNightScene, LiveFramesLeaveThePhotosAsTheyWere) {
    const SyntheticNightScene scene;
    const FrameExposure e = exposureOf(1, 1600);
    const auto photo = render(scene, e, 400, 300, pixelformat::bgra32);
    for (float iso : {400.0f, 3200.0f}) {
        FrameExposure other = exposureOf(0.1, iso);
        live(scene, other, 400, 300);
        live(scene, other, 640, 480);
    }
    EXPECT_TRUE(sameBytes(*photo, *render(scene, e, 400, 300, pixelformat::bgra32)));
    // A live frame of another format is rendered in full, as a photo is.
    const auto linear = render(scene, e, 400, 300, pixelformat::rgba64LE);
    EXPECT_TRUE(sameBytes(
        *linear, *render(scene, e, 400, 300, pixelformat::rgba64LE, {}, FramePurpose::live)));
}

// On real threads (also under ThreadSanitizer): live frames of two looks and photos rendered
// side by side from three threads are the bytes each gives alone.
TEST(SyntheticNightScene, LiveFramesAndPhotosFromSeveralThreadsAreTheirOwnBytes) {
    const SyntheticNightScene scene;
    const FrameExposure dim = exposureOf(0.1, 800);
    const FrameExposure bright = exposureOf(0.1, 3200);
    const auto expectedDim = live(SyntheticNightScene(), dim, 160, 120);
    const auto expectedBright = live(SyntheticNightScene(), bright, 200, 150);
    const auto expectedPhoto = render(SyntheticNightScene(), dim, 160, 120, pixelformat::bgra32);
    std::atomic<int> wrong{0};
    const auto repeat = [&](const std::function<bool()>& same) {
        for (int i = 0; i < 20; ++i) {
            wrong += same() ? 0 : 1;
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(
        [&] { repeat([&] { return sameBytes(*live(scene, dim, 160, 120), *expectedDim); }); });
    threads.emplace_back([&] {
        repeat([&] { return sameBytes(*live(scene, bright, 200, 150), *expectedBright); });
    });
    threads.emplace_back([&] {
        repeat([&] {
            return sameBytes(*render(scene, dim, 160, 120, pixelformat::bgra32), *expectedPhoto);
        });
    });
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace qv::platform
