#include "platform/imaging/ExifMetadata.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/imaging/Rational.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <cmath>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <mutex>
#include <numeric>

namespace qv::platform::imaging {

namespace {

namespace key = metadata;

enum class Kind {
    ascii,
    rational,
    shortValue,
    shortList,
    byteValue,
    coordinate, // degrees as degrees, minutes, seconds
    timeStamp,  // "HH:mm:ss.SSSSSS" as hours, minutes, seconds
    version,    // "2.2.0.0" as four bytes
    number,     // read only: any single number
    numberList, // read only: a list of numbers
};

struct Tag {
    const char* group;
    const char* name;
    const char* exivKey;
    Kind kind;
    bool writable = true;
};

const Tag tags[] = {
    {key::exifGroup, key::exifExposureTime, "Exif.Photo.ExposureTime", Kind::rational},
    {key::exifGroup, key::exifISOSpeedRatings, "Exif.Photo.ISOSpeedRatings", Kind::shortList},
    {key::exifGroup, key::exifFNumber, "Exif.Photo.FNumber", Kind::rational},
    {key::exifGroup, key::exifFocalLength, "Exif.Photo.FocalLength", Kind::rational},
    {key::exifGroup, key::exifDateTimeOriginal, "Exif.Photo.DateTimeOriginal", Kind::ascii},
    {key::exifGroup, key::exifLensModel, "Exif.Photo.LensModel", Kind::ascii},
    {key::tiffGroup, key::tiffMake, "Exif.Image.Make", Kind::ascii},
    {key::tiffGroup, key::tiffModel, "Exif.Image.Model", Kind::ascii},
    {key::tiffGroup, key::tiffSoftware, "Exif.Image.Software", Kind::ascii},
    {key::tiffGroup, key::tiffImageDescription, "Exif.Image.ImageDescription", Kind::ascii},
    {key::tiffGroup, key::tiffDateTime, "Exif.Image.DateTime", Kind::ascii},
    {key::tiffGroup, key::tiffOrientation, "Exif.Image.Orientation", Kind::shortValue},
    {key::gpsGroup, key::gpsVersion, "Exif.GPSInfo.GPSVersionID", Kind::version},
    {key::gpsGroup, key::gpsLatitudeRef, "Exif.GPSInfo.GPSLatitudeRef", Kind::ascii},
    {key::gpsGroup, key::gpsLatitude, "Exif.GPSInfo.GPSLatitude", Kind::coordinate},
    {key::gpsGroup, key::gpsLongitudeRef, "Exif.GPSInfo.GPSLongitudeRef", Kind::ascii},
    {key::gpsGroup, key::gpsLongitude, "Exif.GPSInfo.GPSLongitude", Kind::coordinate},
    {key::gpsGroup, key::gpsAltitudeRef, "Exif.GPSInfo.GPSAltitudeRef", Kind::byteValue},
    {key::gpsGroup, key::gpsAltitude, "Exif.GPSInfo.GPSAltitude", Kind::rational},
    {key::gpsGroup, key::gpsTimeStamp, "Exif.GPSInfo.GPSTimeStamp", Kind::timeStamp},
    {key::gpsGroup, key::gpsImgDirectionRef, "Exif.GPSInfo.GPSImgDirectionRef", Kind::ascii},
    {key::gpsGroup, key::gpsImgDirection, "Exif.GPSInfo.GPSImgDirection", Kind::rational},
    {key::gpsGroup, key::gpsDateStamp, "Exif.GPSInfo.GPSDateStamp", Kind::ascii},
    {key::dngGroup, key::dngBlackLevel, "Exif.Image.BlackLevel", Kind::number, false},
    {key::dngGroup, key::dngWhiteLevel, "Exif.Image.WhiteLevel", Kind::number, false},
    {key::dngGroup, key::dngAsShotNeutral, "Exif.Image.AsShotNeutral", Kind::numberList, false},
    {key::dngGroup, key::dngUniqueCameraModel, "Exif.Image.UniqueCameraModel", Kind::ascii, false},
    {key::dngGroup, key::dngColorMatrix1, "Exif.Image.ColorMatrix1", Kind::numberList, false},
    {key::dngGroup, key::dngCalibrationIlluminant1, "Exif.Image.CalibrationIlluminant1",
     Kind::number, false},
};

void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        // exiv2 reports through exceptions, which become our error texts.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

Exiv2::URational urational(double v) {
    const Rational r = toRational(std::fabs(v));
    return {std::uint32_t(r.numerator), std::uint32_t(r.denominator)};
}

// Rationals over a fixed denominator, reduced: exact for decimal fractions.
Exiv2::URational fixedRational(double v, std::uint32_t denominator) {
    const auto n = saturatingRound<std::uint64_t>(std::fabs(v) * denominator);
    const std::uint64_t g = std::gcd(n, std::uint64_t(denominator));
    return {std::uint32_t(n / (g ? g : 1)), std::uint32_t(denominator / (g ? g : 1))};
}

std::vector<Exiv2::URational> degreesMinutesSeconds(double degrees) {
    const double v = std::fabs(degrees);
    auto d = std::floor(v);
    auto m = std::floor((v - d) * 60.0);
    // Seconds to 1/10000: a tenth of a millimetre on the ground.
    double s = std::round(((v - d) * 60.0 - m) * 60.0 * 10000.0) / 10000.0;
    if (s >= 60.0) {
        s -= 60.0;
        m += 1;
    }
    if (m >= 60.0) {
        m -= 60.0;
        d += 1;
    }
    return {{saturatingCast<std::uint32_t>(d), 1},
            {saturatingCast<std::uint32_t>(m), 1},
            fixedRational(s, 10000)};
}

bool parseTimeStamp(const std::string& text, std::vector<Exiv2::URational>& out) {
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%lf", &h, &m, &s) != 3 || h < 0 || m < 0 || s < 0) {
        return false;
    }
    out = {{std::uint32_t(h), 1}, {std::uint32_t(m), 1}, fixedRational(s, 1000000)};
    return true;
}

// exiv2 0.27 hands out std::auto_ptr; ours are unique_ptr.
using ValuePtr = std::unique_ptr<Exiv2::Value>;
using ImagePtr = std::unique_ptr<Exiv2::Image>;

ValuePtr makeValue(Exiv2::TypeId type) {
    return ValuePtr(Exiv2::Value::create(type).release());
}

// The exiv2 value for one dictionary entry; null when the entry has a type
// the tag cannot take.
ValuePtr toExiv(const Tag& tag, const MetadataValue& value) {
    switch (tag.kind) {
    case Kind::ascii:
        if (const std::string* s = value.string()) {
            auto v = makeValue(Exiv2::asciiString);
            v->read(*s);
            return v;
        }
        break;
    case Kind::rational:
        if (auto n = value.number()) {
            auto v = makeValue(Exiv2::unsignedRational);
            auto* r = dynamic_cast<Exiv2::URationalValue*>(v.get());
            r->value_.push_back(urational(*n));
            return v;
        }
        break;
    case Kind::shortValue:
    case Kind::byteValue:
        if (auto n = value.integer(); n && *n >= 0 && *n <= 65535) {
            auto v = makeValue(tag.kind == Kind::shortValue ? Exiv2::unsignedShort
                                                            : Exiv2::unsignedByte);
            v->read(std::to_string(*n));
            return v;
        }
        break;
    case Kind::shortList: {
        std::vector<double> numbers;
        if (auto list = value.numbers()) {
            numbers = *list;
        } else if (auto n = value.number()) {
            numbers = {*n};
        }
        if (numbers.empty()) {
            break;
        }
        auto v = makeValue(Exiv2::unsignedShort);
        // Separated by blanks with none after the last: exiv2 reads nothing from a trailing
        // one.
        std::string text;
        for (double n : numbers) {
            if (!text.empty()) {
                text += ' ';
            }
            text += std::to_string(saturatingRound<std::uint16_t>(n));
        }
        v->read(text);
        return v;
    }
    case Kind::coordinate:
        if (auto n = value.number(); n && std::isfinite(*n)) {
            auto v = makeValue(Exiv2::unsignedRational);
            dynamic_cast<Exiv2::URationalValue*>(v.get())->value_ = degreesMinutesSeconds(*n);
            return v;
        }
        break;
    case Kind::timeStamp:
        if (const std::string* s = value.string()) {
            std::vector<Exiv2::URational> parts;
            if (parseTimeStamp(*s, parts)) {
                auto v = makeValue(Exiv2::unsignedRational);
                dynamic_cast<Exiv2::URationalValue*>(v.get())->value_ = parts;
                return v;
            }
        }
        break;
    case Kind::version:
        if (const std::string* s = value.string()) {
            unsigned a = 0, b = 0, c = 0, d = 0;
            if (std::sscanf(s->c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4) {
                auto v = makeValue(Exiv2::unsignedByte);
                v->read(std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) +
                        " " + std::to_string(d));
                return v;
            }
        }
        break;
    case Kind::number:
    case Kind::numberList:
        break;
    }
    return nullptr;
}

std::string twoDigits(long v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02ld", v);
    return text;
}

// One component as a double: rationals divided in double precision (exiv2's
// own conversion goes through float).
double numberAt(const Exiv2::Exifdatum& datum, long i) {
    const Exiv2::TypeId type = datum.typeId();
    if (type == Exiv2::unsignedRational || type == Exiv2::signedRational) {
        const Exiv2::Rational r = datum.toRational(i);
        return r.second != 0 ? double(r.first) / double(r.second) : 0.0;
    }
    if (type == Exiv2::tiffFloat || type == Exiv2::tiffDouble) {
        return double(datum.toFloat(i));
    }
    return double(datum.toLong(i));
}

std::optional<MetadataValue> fromExiv(const Tag& tag, const Exiv2::Exifdatum& datum) {
    const long count = datum.count();
    if (count < 1) {
        return std::nullopt;
    }
    switch (tag.kind) {
    case Kind::ascii: {
        std::string text = datum.toString();
        while (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        return MetadataValue(text);
    }
    case Kind::rational:
    case Kind::number:
        return MetadataValue(numberAt(datum, 0));
    case Kind::shortValue:
    case Kind::byteValue:
        return MetadataValue(std::int64_t(datum.toLong(0)));
    case Kind::shortList: {
        MetadataList list;
        for (long i = 0; i < count; ++i) {
            list.emplace_back(std::int64_t(datum.toLong(i)));
        }
        return MetadataValue(std::move(list));
    }
    case Kind::numberList: {
        MetadataList list;
        for (long i = 0; i < count; ++i) {
            list.emplace_back(numberAt(datum, i));
        }
        return MetadataValue(std::move(list));
    }
    case Kind::coordinate: {
        if (count < 3) {
            return std::nullopt;
        }
        const double d = numberAt(datum, 0), m = numberAt(datum, 1), s = numberAt(datum, 2);
        return MetadataValue(d + m / 60.0 + s / 3600.0);
    }
    case Kind::timeStamp: {
        if (count < 3) {
            return std::nullopt;
        }
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%09.6f", numberAt(datum, 2));
        return MetadataValue(twoDigits(datum.toLong(0)) + ":" + twoDigits(datum.toLong(1)) + ":" +
                             seconds);
    }
    case Kind::version: {
        std::string text;
        for (long i = 0; i < count; ++i) {
            if (i > 0) {
                text += '.';
            }
            text += std::to_string(datum.toLong(i));
        }
        return MetadataValue(text);
    }
    }
    return std::nullopt;
}

ImagePtr openImage(FileBytes file) {
    prepareExiv2();
    ImagePtr image(Exiv2::ImageFactory::open(file.data(), long(file.size())).release());
    if (!image) {
        throw Exiv2::Error(Exiv2::kerFileContainsUnknownImageType);
    }
    image->readMetadata();
    return image;
}

void addIfMissing(Exiv2::ExifData& exif, const char* exivKey, Exiv2::TypeId type,
                  const std::string& text) {
    const Exiv2::ExifKey k(exivKey);
    if (exif.findKey(k) != exif.end()) {
        return;
    }
    auto v = makeValue(type);
    v->read(text);
    exif.add(k, v.get());
}

void addRequiredTags(Exiv2::ExifData& exif, std::optional<ColorSpace> colorSpace,
                     std::optional<PixelSize> jpegSize) {
    addIfMissing(exif, "Exif.Photo.ExifVersion", Exiv2::undefined, "48 50 51 50");     // "0232"
    addIfMissing(exif, "Exif.Photo.FlashpixVersion", Exiv2::undefined, "48 49 48 48"); // "0100"
    if (colorSpace) {
        addIfMissing(exif, "Exif.Photo.ColorSpace", Exiv2::unsignedShort,
                     *colorSpace == ColorSpace::sRGB ? "1" : "65535");
    }
    if (jpegSize) {
        addIfMissing(exif, "Exif.Photo.ComponentsConfiguration", Exiv2::undefined, "1 2 3 0");
        addIfMissing(exif, "Exif.Photo.PixelXDimension", Exiv2::unsignedLong,
                     std::to_string(jpegSize->width));
        addIfMissing(exif, "Exif.Photo.PixelYDimension", Exiv2::unsignedLong,
                     std::to_string(jpegSize->height));
        addIfMissing(exif, "Exif.Image.XResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exif, "Exif.Image.YResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exif, "Exif.Image.ResolutionUnit", Exiv2::unsignedShort, "2");
        addIfMissing(exif, "Exif.Image.YCbCrPositioning", Exiv2::unsignedShort, "1");
    }
}

// Writes the dictionary's tags into `exif`, each replacing the tag of the same name.
void putTags(Exiv2::ExifData& exif, const MetadataDictionary& metadata) {
    // A captured photo carries its orientation at the top level, not in {TIFF}.
    const MetadataValue photoOrientation(std::int64_t{pictureOrientation(metadata)});
    for (const Tag& tag : tags) {
        const MetadataDictionary* group = metadata.dictionary(tag.group);
        const MetadataValue* value = group ? group->find(tag.name) : nullptr;
        if (value == nullptr && std::string_view(tag.group) == key::tiffGroup &&
            std::string_view(tag.name) == key::tiffOrientation &&
            metadata.find(key::orientation) != nullptr) {
            value = &photoOrientation;
        }
        if (!tag.writable || value == nullptr) {
            continue;
        }
        const Exiv2::ExifKey exivKey(tag.exivKey);
        auto existing = exif.findKey(exivKey);
        if (existing != exif.end()) {
            exif.erase(existing);
        }
        if (auto v = toExiv(tag, *value)) {
            exif.add(exivKey, v.get());
        }
    }
}

} // namespace

std::uint16_t pictureOrientation(const MetadataDictionary& metadata) {
    const MetadataDictionary* tiff = metadata.dictionary(key::tiffGroup);
    const MetadataValue* value = tiff ? tiff->find(key::tiffOrientation) : nullptr;
    if (value == nullptr) {
        value = metadata.find(key::orientation);
    }
    const auto number = value ? value->number() : std::nullopt;
    return number && *number >= 1 && *number <= 8 ? std::uint16_t(*number) : std::uint16_t{1};
}

Result<FileData> withMetadata(FileBytes file, const MetadataDictionary& metadata,
                              std::optional<ColorSpace> colorSpace) {
    try {
        auto image = openImage(file);
        putTags(image->exifData(), metadata);
        const bool jpeg = image->mimeType() == "image/jpeg";
        addRequiredTags(image->exifData(), colorSpace,
                        jpeg ? std::optional<PixelSize>({std::uint32_t(image->pixelWidth()),
                                                         std::uint32_t(image->pixelHeight())})
                             : std::nullopt);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const long size = long(io.size());
        Exiv2::DataBuf buffer = io.read(size);
        if (buffer.size_ != size) {
            return Result<FileData>::failure("metadata: could not read back the written file");
        }
        return FileData(buffer.pData_, buffer.pData_ + buffer.size_);
    } catch (const std::exception& e) {
        return Result<FileData>::failure(std::string("metadata: ") + e.what());
    }
}

Result<FileData> exifBlock(const MetadataDictionary& metadata, std::optional<ColorSpace> colorSpace,
                           std::optional<PixelSize> jpegSize) {
    try {
        prepareExiv2();
        Exiv2::ExifData exif;
        putTags(exif, metadata);
        addRequiredTags(exif, colorSpace, jpegSize);
        Exiv2::Blob block;
        Exiv2::ExifParser::encode(block, Exiv2::littleEndian, exif);
        if (block.empty()) {
            return Result<FileData>::failure("metadata: exiv2 wrote no Exif block");
        }
        return FileData(block.begin(), block.end());
    } catch (const std::exception& e) {
        return Result<FileData>::failure(std::string("metadata: ") + e.what());
    }
}

Result<MetadataDictionary> readMetadata(FileBytes file) {
    try {
        auto image = openImage(file);
        const Exiv2::ExifData& exif = image->exifData();
        MetadataDictionary result;
        if (image->pixelWidth() > 0 && image->pixelHeight() > 0) {
            result.set(key::pixelWidth, std::int64_t(image->pixelWidth()));
            result.set(key::pixelHeight, std::int64_t(image->pixelHeight()));
        }
        for (const Tag& tag : tags) {
            auto it = exif.findKey(Exiv2::ExifKey(tag.exivKey));
            if (it == exif.end()) {
                continue;
            }
            if (auto value = fromExiv(tag, *it)) {
                result.dictionary(tag.group).set(tag.name, std::move(*value));
            }
        }
        return result;
    } catch (const std::exception& e) {
        return Result<MetadataDictionary>::failure(std::string("metadata: ") + e.what());
    }
}

} // namespace qv::platform::imaging
