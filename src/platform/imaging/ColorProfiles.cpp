#include "platform/imaging/ColorProfiles.hpp"

#include <array>
#include <lcms2.h>
#include <memory>

namespace qv::platform::imaging {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

constexpr const char* descriptionOf(ColorSpace space) {
    switch (space) {
    case ColorSpace::displayP3:
        return "Display P3";
    case ColorSpace::linearSRGB:
        return "Linear sRGB";
    case ColorSpace::sRGB:
        break;
    }
    return "sRGB IEC61966-2.1";
}

Profile makeRgbProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries, bool linear,
                       const char* description) {
    // The sRGB transfer curve as an IEC 61966 parametric curve (type 4).
    const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve =
        linear ? cmsBuildGamma(nullptr, 1.0) : cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    if (profile) {
        cmsMLU* text = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(text, "en", "US", description);
        cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, text);
        cmsMLUfree(text);
    }
    return profile;
}

Profile makeProfile(ColorSpace space) {
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE srgbPrimaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    const cmsCIExyYTRIPLE p3Primaries{
        {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    switch (space) {
    case ColorSpace::displayP3:
        return makeRgbProfile(d65, p3Primaries, false, descriptionOf(space));
    case ColorSpace::linearSRGB:
        return makeRgbProfile(d65, srgbPrimaries, true, descriptionOf(space));
    case ColorSpace::sRGB:
        break;
    }
    return makeRgbProfile(d65, srgbPrimaries, false, descriptionOf(space));
}

Profile makeLinearProPhoto() {
    const cmsCIExyY d50{0.3457, 0.3585, 1.0};
    const cmsCIExyYTRIPLE primaries{
        {0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
    return makeRgbProfile(d50, primaries, true, "Linear ProPhoto RGB");
}

FileData serialize(const Profile& profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) {
        return {};
    }
    FileData bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) {
        return {};
    }
    return bytes;
}

Profile openProfile(FileBytes icc) {
    if (icc.empty()) {
        return nullptr;
    }
    return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

} // namespace

const FileData& iccProfile(ColorSpace space) {
    static const std::array<FileData, 3> profiles{serialize(makeProfile(ColorSpace::sRGB)),
                                                  serialize(makeProfile(ColorSpace::displayP3)),
                                                  serialize(makeProfile(ColorSpace::linearSRGB))};
    return profiles[static_cast<std::size_t>(space)];
}

std::optional<std::string> profileDescription(FileBytes icc) {
    const Profile profile = openProfile(icc);
    if (!profile) {
        return std::nullopt;
    }
    char text[256] = {};
    const cmsUInt32Number n =
        cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    return n > 0 ? std::string(text) : std::string();
}

ColorSpace colorSpaceOfProfile(FileBytes icc) {
    const auto description = profileDescription(icc);
    for (ColorSpace space : {ColorSpace::displayP3, ColorSpace::linearSRGB}) {
        if (description == descriptionOf(space)) {
            return space;
        }
    }
    return ColorSpace::sRGB;
}

void convertColorSpace(RgbaImage& image, ColorSpace to) {
    if (image.empty() || image.colorSpace == to) {
        image.colorSpace = to;
        return;
    }
    const int bits = image.bitsPerChannel();
    const ColorConversion conversion(image.colorSpace, bits, to, bits);
    for (std::size_t y = 0; conversion.isValid() && y < image.height(); ++y) {
        void* row = bits == 8 ? static_cast<void*>(image.row8(y).data())
                              : static_cast<void*>(image.row16(y).data());
        conversion.convert(row, row, image.width());
    }
    image.colorSpace = to;
}

ColorConversion::ColorConversion(ColorSpace from, int fromBits, ColorSpace to, int toBits) {
    const Profile source = makeProfile(from);
    const Profile target = makeProfile(to);
    const auto format = [](int bits) { return bits == 8 ? TYPE_RGBA_8 : TYPE_RGBA_16; };
    transform_ = cmsCreateTransform(source.get(), format(fromBits), target.get(), format(toBits),
                                    INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_COPY_ALPHA);
}

ColorConversion::~ColorConversion() {
    if (transform_ != nullptr) {
        cmsDeleteTransform(transform_);
    }
}

void ColorConversion::convert(const void* in, void* out, std::size_t pixels) const {
    if (transform_ != nullptr) {
        cmsDoTransform(transform_, in, out, cmsUInt32Number(pixels));
    }
}

namespace detail {

void fromLinearProPhoto(const std::uint16_t* rgb, RgbaImage& out) {
    const Profile from = makeLinearProPhoto();
    const Profile target = makeProfile(out.colorSpace);
    const bool eight = out.bitsPerChannel() == 8;
    const Transform transform(cmsCreateTransform(from.get(), TYPE_RGB_16, target.get(),
                                                 eight ? TYPE_RGBA_8 : TYPE_RGBA_16,
                                                 INTENT_RELATIVE_COLORIMETRIC, 0));
    const std::size_t w = out.width();
    for (std::size_t y = 0; transform && y < out.height(); ++y) {
        const std::uint16_t* src = rgb + y * w * 3;
        if (eight) {
            auto row = out.row8(y);
            cmsDoTransform(transform.get(), src, row.data(), cmsUInt32Number(w));
            for (std::size_t x = 0; x < w; ++x) {
                row[x * 4 + 3] = 255;
            }
        } else {
            auto row = out.row16(y);
            cmsDoTransform(transform.get(), src, row.data(), cmsUInt32Number(w));
            for (std::size_t x = 0; x < w; ++x) {
                row[x * 4 + 3] = 65535;
            }
        }
    }
}

} // namespace detail

} // namespace qv::platform::imaging
