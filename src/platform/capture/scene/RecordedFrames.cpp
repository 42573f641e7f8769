#include "platform/capture/scene/RecordedFrames.hpp"

#include "platform/capture/scene/RenderPool.hpp"
#include "platform/capture/scene/detail/FrameWriter.hpp"
#include "platform/capture/scene/detail/SensorColor.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawMosaic.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>

namespace qv::platform {

namespace {

namespace key = metadata;
using detail::Rgb;

constexpr std::uintmax_t largestFile = 512u << 20;
// Unusable frames named in a line each; the rest are counted in one line a pass.
constexpr std::size_t namedSkips = 20;

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isFrameFile(const std::filesystem::path& path) {
    const std::string ext = lowercase(path.extension().string());
    return ext == ".dng" || ext == ".tif" || ext == ".tiff" || ext == ".jpg" || ext == ".jpeg";
}

// sRGB-encoded 0...1 to linear.
double linearFromSrgb(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

} // namespace

// A decoded frame: a RAW mosaic, or a picture in sRGB (or linear sRGB).
struct RecordedFrames::Frame {
    std::string name;
    std::size_t fileIndex = 0;
    std::size_t width = 0;
    std::size_t height = 0;
    double exposureTime = 0; // seconds; 0 when unknown
    double iso = 0;          // 0 when unknown

    std::shared_ptr<PixelBuffer> mosaic;
    std::array<int, 4> pattern{0, 1, 1, 2};
    double black = 0;
    double range = 1;

    RgbaImage picture;
    std::vector<float> toLinear; // per stored value of the picture's depth

    int colorAt(std::size_t x, std::size_t y) const { return pattern[(y & 1) * 2 + (x & 1)]; }

    // One photosite of the mosaic as a fraction of its range.
    double site(std::size_t x, std::size_t y) const {
        return (double(mosaic->row<std::uint16_t>(y)[x]) - black) / range;
    }

    // The camera RGB at a position, fractions of the range before white balance, at the
    // recorded exposure.
    Rgb signalAt(std::size_t x, std::size_t y) const {
        if (mosaic) {
            // The 2x2 cell the position lies in: its red, its greens' mean, its blue.
            const std::size_t x0 = std::min(x & ~std::size_t(1), width - 2);
            const std::size_t y0 = std::min(y & ~std::size_t(1), height - 2);
            Rgb c{0, 0, 0};
            for (std::size_t i = 0; i < 4; ++i) {
                const std::size_t sx = x0 + (i & 1);
                const std::size_t sy = y0 + (i >> 1);
                const int color = colorAt(sx, sy);
                c[std::size_t(color)] += site(sx, sy) * (color == 1 ? 0.5 : 1.0);
            }
            return c;
        }
        Rgb linear{};
        for (std::size_t ch = 0; ch < 3; ++ch) {
            const std::size_t stored = picture.bitsPerChannel() == 16 ? picture.row16(y)[x * 4 + ch]
                                                                      : picture.row8(y)[x * 4 + ch];
            linear[ch] = toLinear[stored];
        }
        return detail::multiply(detail::srgbToCamera(), linear);
    }
};

struct RecordedFrames::Decoding {
    std::size_t from = 0;
    std::mutex mutex; // guards the fields below, between the worker and the scene
    std::condition_variable finished;
    bool done = false;
    std::shared_ptr<const Frame> frame;
};

struct RecordedFrames::Catalogue {
    std::filesystem::path folder;
    std::vector<std::filesystem::path> files;
    PixelDimensions photoSize;

    std::mutex mutex; // guards the fields below: the decode ahead and photos mark files
    std::set<std::size_t> unusable;
    std::size_t named = 0;     // unusable frames named in a line of their own
    std::size_t uncounted = 0; // unusable frames met beyond those, not yet in a count line

    // The first usable frame from file `from` on, going round once; skips the unusable ones,
    // naming the first `namedSkips` and counting the rest in one line when the pass through
    // the folder ends (or no usable frame is left). Sets `index` to the file it came from.
    std::shared_ptr<const Frame> firstUsableFrom(std::size_t from, std::size_t& index);

private:
    // Marks file `i` unusable; its line, or nothing once `namedSkips` were named.
    std::optional<std::string> skip(std::size_t i, const std::string& problem);
    // The line counting the unusable frames not named since the last one; nothing when none.
    std::optional<std::string> countLine();
};

// The latest live frame as it was converted, shown again while nothing it depends on changes.
struct RecordedFrames::LiveFrame {
    std::mutex mutex; // one live frame at a time; guards the fields below
    std::shared_ptr<const Frame> frame;
    float scale = 0;
    WhiteBalanceGains gains;
    std::uint32_t blackLevel = 0;
    std::uint32_t whiteLevel = 0;
    std::shared_ptr<PixelBuffer> pixels;

    bool shows(const Frame* f, const SceneCamera& camera, float frameScale,
               const WhiteBalanceGains& frameGains, const PixelBuffer& out) const {
        return frame.get() == f && scale == frameScale && gains.redGain == frameGains.redGain &&
               gains.greenGain == frameGains.greenGain && gains.blueGain == frameGains.blueGain &&
               blackLevel == camera.blackLevel && whiteLevel == camera.whiteLevel && pixels &&
               pixels->width() == out.width() && pixels->height() == out.height() &&
               pixels->pixelFormat() == out.pixelFormat();
    }
};

namespace {

std::optional<imaging::FileData> readFile(const std::filesystem::path& path, std::string& problem) {
    imaging::FileData data;
    if (const auto unread = readRegularFile(path, largestFile, data)) {
        problem = unread->reason;
        return std::nullopt;
    }
    return data;
}

// Exposure time and ISO from a file's Exif (0 where it says nothing).
void readExposure(const imaging::FileData& file, RecordedFrames::Frame& frame) {
    const auto metadata = imaging::readMetadata(file);
    if (!metadata) {
        return;
    }
    if (const auto* exif = metadata->dictionary(key::exifGroup)) {
        if (const auto* t = exif->find(key::exifExposureTime)) {
            frame.exposureTime = t->number().value_or(0);
        }
        if (const auto* iso = exif->find(key::exifISOSpeedRatings)) {
            if (const auto values = iso->numbers(); values && !values->empty()) {
                frame.iso = values->front();
            } else {
                frame.iso = iso->number().value_or(0);
            }
        }
    }
}

std::shared_ptr<RecordedFrames::Frame> decodeFrame(const std::filesystem::path& path,
                                                   PixelDimensions size, std::string& problem) {
    const auto file = readFile(path, problem);
    if (!file) {
        return nullptr;
    }
    auto frame = std::make_shared<RecordedFrames::Frame>();
    frame->name = path.filename().string();
    switch (imaging::fileKind(*file)) {
    case imaging::FileKind::dng: {
        auto mosaic = imaging::readRawMosaic(*file);
        if (!mosaic) {
            problem = mosaic.error();
            return nullptr;
        }
        frame->mosaic = mosaic->pixelBuffer;
        const auto pattern = *bayerPattern(frame->mosaic->pixelFormat());
        for (std::size_t i = 0; i < 4; ++i) {
            frame->pattern[i] = int(pattern[i]);
        }
        frame->black = mosaic->blackLevel;
        frame->range = double(mosaic->whiteLevel) - double(mosaic->blackLevel);
        frame->width = frame->mosaic->width();
        frame->height = frame->mosaic->height();
        frame->exposureTime = mosaic->exposureTime;
        frame->iso = mosaic->iso;
        break;
    }
    case imaging::FileKind::jpeg:
    case imaging::FileKind::tiff: {
        auto picture = imaging::fileKind(*file) == imaging::FileKind::jpeg
                           ? imaging::decodeJpeg(*file)
                           : imaging::decodeTiff(*file);
        if (!picture) {
            problem = picture.error();
            return nullptr;
        }
        frame->picture = std::move(*picture);
        if (frame->picture.colorSpace == ColorSpace::displayP3) {
            imaging::convertColorSpace(frame->picture, ColorSpace::sRGB);
        }
        const bool linear = frame->picture.colorSpace == ColorSpace::linearSRGB;
        const std::size_t levels = frame->picture.bitsPerChannel() == 16 ? 65536 : 256;
        frame->toLinear.resize(levels);
        for (std::size_t i = 0; i < levels; ++i) {
            const double v = double(i) / double(levels - 1);
            frame->toLinear[i] = float(linear ? v : linearFromSrgb(v));
        }
        frame->width = frame->picture.width();
        frame->height = frame->picture.height();
        readExposure(*file, *frame);
        break;
    }
    default:
        problem = "not a DNG, TIFF or JPEG file";
        return nullptr;
    }
    if (frame->width != std::size_t(size.width) || frame->height != std::size_t(size.height)) {
        problem = "is " + describe(frame->width) + "x" + describe(frame->height) +
                  ", not the photo size " + describe(size.width) + "x" + describe(size.height);
        return nullptr;
    }
    return frame;
}

// The requested exposure over the recorded one, where the file says what that was; kept
// within 2^-20 ... 2^20, so a file's nonsense cannot blow the signal up.
double exposureScale(const RecordedFrames::Frame& frame, const FrameExposure& exposure) {
    if (!(frame.exposureTime > 0) || !std::isfinite(frame.exposureTime)) {
        return 1;
    }
    double scale = exposure.durationSeconds / frame.exposureTime;
    if (frame.iso > 0 && std::isfinite(frame.iso)) {
        scale *= double(exposure.iso) / frame.iso;
    }
    return std::isfinite(scale) ? std::clamp(scale, 0x1p-20, 0x1p20) : 1;
}

} // namespace

std::shared_ptr<RecordedFrames> RecordedFrames::open(const std::filesystem::path& folder,
                                                     PixelDimensions photoSize,
                                                     std::string& problem) {
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        problem = "does not exist";
        return nullptr;
    }
    if (!error && status.type() != std::filesystem::file_type::directory) {
        problem = "is not a folder";
        return nullptr;
    }
    // Every entry named as a frame but a folder: one that cannot be read (a link that loops or
    // leads nowhere, a FIFO) is then skipped with its reason like a broken frame.
    std::vector<std::filesystem::path> files;
    std::filesystem::directory_iterator entry(folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (isFrameFile(entry->path()) && !entry->is_directory(ignored)) {
            files.push_back(entry->path());
        }
    }
    if (error) {
        problem = "cannot be read (" + error.message() + ")";
        return nullptr;
    }
    std::sort(files.begin(), files.end());
    const bool none = files.empty();
    auto catalogue = std::make_shared<Catalogue>();
    catalogue->folder = folder;
    catalogue->files = std::move(files);
    catalogue->photoSize = photoSize;
    std::size_t index = 0;
    auto first = catalogue->firstUsableFrom(0, index);
    if (!first) {
        problem = none ? "holds no DNG, TIFF or JPEG file" : "no usable frame";
        return nullptr;
    }
    auto frames = std::shared_ptr<RecordedFrames>(new RecordedFrames(std::move(catalogue)));
    frames->shown_ = first;
    frames->next_ = first;
    return frames;
}

RecordedFrames::RecordedFrames(std::shared_ptr<Catalogue> catalogue)
    : catalogue_(std::move(catalogue)), live_(std::make_unique<LiveFrame>()) {}

RecordedFrames::~RecordedFrames() = default;

std::shared_ptr<const RecordedFrames::Frame>
RecordedFrames::Catalogue::firstUsableFrom(std::size_t from, std::size_t& index) {
    std::shared_ptr<Frame> frame;
    for (std::size_t step = 0; step < files.size() && !frame; ++step) {
        const std::size_t i = (from + step) % files.size();
        bool known = false;
        {
            std::lock_guard guard(mutex);
            known = unusable.contains(i);
        }
        if (!known) {
            std::string problem;
            frame = decodeFrame(files[i], photoSize, problem);
            if (frame) {
                frame->fileIndex = i;
                index = i;
            } else if (const auto line = skip(i, problem)) {
                print(*line);
            }
        }
        if (i + 1 == files.size() || step + 1 == files.size()) {
            if (const auto line = countLine()) {
                print(*line);
            }
        }
    }
    return frame;
}

std::optional<std::string> RecordedFrames::Catalogue::skip(std::size_t i,
                                                           const std::string& problem) {
    std::lock_guard guard(mutex);
    unusable.insert(i);
    if (named == namedSkips) {
        ++uncounted;
        return std::nullopt;
    }
    ++named;
    return "recorded frame " + quotedPath(files[i].filename()) + ": " + problem + "; skipped";
}

std::optional<std::string> RecordedFrames::Catalogue::countLine() {
    std::lock_guard guard(mutex);
    if (uncounted == 0) {
        return std::nullopt;
    }
    const std::size_t count = std::exchange(uncounted, 0);
    return "recorded frames: " + describe(count) + " more unusable frame" +
           (count == 1 ? "" : "s") + " of " + quotedPath(folder) + " skipped (only the first " +
           describe(namedSkips) + " are named)";
}

void RecordedFrames::decodeAhead() const {
    auto decoding = std::make_shared<Decoding>();
    {
        std::lock_guard guard(mutex_);
        decoding->from = shown_->fileIndex + 1;
        decoding_ = decoding;
    }
    decodes_.async(
        [catalogue = catalogue_, decoding] {
            std::size_t index = 0;
            auto frame = catalogue->firstUsableFrom(decoding->from, index);
            std::lock_guard guard(decoding->mutex);
            decoding->frame = std::move(frame);
            decoding->done = true;
            decoding->finished.notify_all();
        },
        QoS::utility);
}

std::shared_ptr<const RecordedFrames::Frame> RecordedFrames::takeNextForPhoto() const {
    std::shared_ptr<const Frame> frame;
    std::shared_ptr<Decoding> decoding;
    {
        std::lock_guard guard(mutex_);
        frame = std::exchange(next_, nullptr);
        decoding = decoding_;
    }
    if (!frame && decoding) {
        std::unique_lock lock(decoding->mutex);
        if (!decoding->done && Clock::current().isVirtual()) {
            // Under a virtual clock the worker runs only when the test pumps: decode here.
            lock.unlock();
            std::size_t index = 0;
            frame = catalogue_->firstUsableFrom(decoding->from, index);
        } else {
            decoding->finished.wait(lock, [&] { return decoding->done; });
            frame = decoding->frame;
        }
    }
    bool startingOver = false;
    {
        std::lock_guard guard(mutex_);
        if (frame) {
            shown_ = frame;
        }
        frame = shown_;
        // Once per pass; with one usable frame a pass is one photo, so that is said once.
        const bool wrapped = lastPhotoFile_ && frame->fileIndex <= *lastPhotoFile_;
        const bool again = wrapped && frame->fileIndex == *lastPhotoFile_;
        startingOver = wrapped && !(again && saidOneFrame_);
        saidOneFrame_ = saidOneFrame_ || again;
        lastPhotoFile_ = frame->fileIndex;
    }
    if (startingOver) {
        print("recorded frames: starting over at the first frame of " +
              quotedPath(catalogue_->folder));
    }
    decodeAhead();
    return frame;
}

namespace {

void copyPixels(const PixelBuffer& from, PixelBuffer& to) {
    const std::size_t rowBytes = std::min(from.bytesPerRow(), to.bytesPerRow());
    for (std::size_t y = 0; y < to.height(); ++y) {
        std::memcpy(to.row<std::byte>(y), from.row<std::byte>(y), rowBytes);
    }
}

} // namespace

void RecordedFrames::render(const SceneCamera& camera, const FrameExposure& exposure,
                            FramePurpose purpose, PixelBuffer& out) const {
    if (purpose == FramePurpose::photo) {
        convert(*takeNextForPhoto(), camera, exposure, out);
        return;
    }
    std::shared_ptr<const Frame> frame;
    {
        std::lock_guard guard(mutex_);
        frame = shown_;
    }
    const auto scale = float(exposureScale(*frame, exposure));
    std::lock_guard guard(live_->mutex);
    LiveFrame& live = *live_;
    if (live.shows(frame.get(), camera, scale, exposure.whiteBalanceGains, out)) {
        out.lock();
        copyPixels(*live.pixels, out);
        out.unlock();
        return;
    }
    convert(*frame, camera, exposure, out);
    live.frame = frame;
    live.scale = scale;
    live.gains = exposure.whiteBalanceGains;
    live.blackLevel = camera.blackLevel;
    live.whiteLevel = camera.whiteLevel;
    if (!live.pixels || live.pixels->width() != out.width() ||
        live.pixels->height() != out.height() || live.pixels->pixelFormat() != out.pixelFormat()) {
        live.pixels = PixelBuffer::make(out.width(), out.height(), out.pixelFormat());
    }
    out.lock(true);
    copyPixels(out, *live.pixels);
    out.unlock(true);
}

void RecordedFrames::convert(const Frame& frame, const SceneCamera& camera,
                             const FrameExposure& exposure, PixelBuffer& out) const {
    detail::SensorNoise noise;
    noise.enabled = false;
    out.lock();
    const detail::FrameWriter writer(out, camera, exposure, noise);
    struct Job {
        const Frame* frame;
        const detail::FrameWriter* writer;
        PixelBuffer* out;
        float scale;
    } job{&frame, &writer, &out, float(exposureScale(frame, exposure))};
    renderPool().run(
        out.height(),
        [](void* context, std::size_t y) {
            const Job& j = *static_cast<const Job*>(context);
            const Frame& f = *j.frame;
            const std::size_t width = j.out->width();
            const std::size_t sy = y * f.height / j.out->height();
            const bool replay =
                j.writer->isBayer() && f.mosaic && width == f.width && j.out->height() == f.height;
            thread_local std::vector<float> row;
            row.resize(width * std::size_t(j.writer->channelsPerPixel()));
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t sx = x * f.width / width;
                if (replay && f.colorAt(x, y) == j.writer->bayerColor(x, y)) {
                    row[x] = float(f.site(x, y)) * j.scale; // the photosite as recorded
                    continue;
                }
                const Rgb c = f.signalAt(sx, sy);
                if (j.writer->isBayer()) {
                    row[x] = float(c[std::size_t(j.writer->bayerColor(x, y))]) * j.scale;
                } else {
                    for (std::size_t ch = 0; ch < 3; ++ch) {
                        row[ch * width + x] = float(c[ch]) * j.scale;
                    }
                }
            }
            j.writer->writeRow(y, row.data());
        },
        &job);
    out.unlock();
}

std::array<double, 3> RecordedFrames::meter(const SceneCamera& /*camera*/,
                                            const FrameExposure& exposure) const {
    std::shared_ptr<const Frame> frame;
    {
        std::lock_guard guard(mutex_);
        frame = shown_;
    }
    constexpr std::size_t columns = 64;
    constexpr std::size_t rows = 48;
    const double scale = exposureScale(*frame, exposure);
    std::array<double, 3> sum{};
    for (std::size_t y = 0; y < rows; ++y) {
        for (std::size_t x = 0; x < columns; ++x) {
            const Rgb c = frame->signalAt((2 * x + 1) * frame->width / (2 * columns),
                                          (2 * y + 1) * frame->height / (2 * rows));
            for (std::size_t ch = 0; ch < 3; ++ch) {
                // As the sensor sees it: nothing below black, nothing above white.
                sum[ch] += std::clamp(c[ch] * scale, 0.0, 1.0);
            }
        }
    }
    for (double& s : sum) {
        s /= double(columns * rows);
    }
    return sum;
}

} // namespace qv::platform
