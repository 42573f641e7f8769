#include "platform/capture/simulated/CameraProfileJson.hpp"

#include "platform/console/Console.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <nlohmann/json.hpp>
#include <optional>

namespace qv::platform {

namespace {

using Json = nlohmann::json;

constexpr std::uintmax_t largestFile = 1 << 20;

// Thrown inside the parser only, to stop at the first fault; parseCameraProfile() turns it
// into its result.
struct Fault {
    std::string field;
    std::string problem;
};

[[noreturn]] void fail(const std::string& field, const std::string& problem) {
    throw Fault{field, problem};
}

double number(const Json& value, const std::string& field, double low, double high) {
    if (!value.is_number()) {
        fail(field, "expected a number");
    }
    const double v = value.get<double>();
    if (!(v >= low && v <= high)) {
        fail(field, "expected a number from " + describe(low) + " to " + describe(high));
    }
    return v;
}

bool boolean(const Json& value, const std::string& field) {
    if (!value.is_boolean()) {
        fail(field, "expected true or false");
    }
    return value.get<bool>();
}

std::string text(const Json& value, const std::string& field) {
    if (!value.is_string()) {
        fail(field, "expected a string");
    }
    return value.get<std::string>();
}

std::pair<double, double> range(const Json& value, const std::string& field, double low,
                                double high) {
    if (!value.is_array() || value.size() != 2) {
        fail(field, "expected [minimum, maximum]");
    }
    const double a = number(value[0], field + "[0]", low, high);
    const double b = number(value[1], field + "[1]", low, high);
    if (a > b) {
        fail(field, "the minimum is above the maximum");
    }
    return {a, b};
}

PixelDimensions size(const Json& value, const std::string& field) {
    if (!value.is_array() || value.size() != 2) {
        fail(field, "expected [width, height]");
    }
    const auto side = [&](const Json& v, const std::string& f) {
        if (!v.is_number_integer()) {
            fail(f, "expected a whole number");
        }
        const auto n = v.get<std::int64_t>();
        if (n < 2 || n > 16384 || n % 2 != 0) {
            fail(f, "expected an even number of pixels from 2 to 16384");
        }
        return int(n);
    };
    return {side(value[0], field + "[0]"), side(value[1], field + "[1]")};
}

SimulatedCameraSpec builtInSpec(CaptureDeviceType type) {
    for (const SimulatedCameraSpec& spec : CameraProfile::builtIn().cameras) {
        if (spec.type == type) {
            return spec;
        }
    }
    return {};
}

SimulatedCameraSpec camera(const Json& value, const std::string& at) {
    if (!value.is_object()) {
        fail(at, "expected an object");
    }
    if (!value.contains("type")) {
        fail(at + ".type", "missing");
    }
    const auto kind = cameraKindNamed(text(value["type"], at + ".type"));
    if (!kind) {
        fail(at + ".type", "expected \"wide\", \"tele\" or \"ultraWide\"");
    }
    SimulatedCameraSpec s = builtInSpec(*kind);
    for (const auto& [key, v] : value.items()) {
        const std::string f = at + "." + key;
        if (key == "type") {
        } else if (key == "name") {
            s.name = text(v, f);
        } else if (key == "photoSize") {
            s.photoSize = size(v, f);
        } else if (key == "previewSize") {
            s.previewSize = size(v, f);
        } else if (key == "videoSize") {
            s.videoSize = size(v, f);
        } else if (key == "fieldOfView") {
            s.fieldOfView = number(v, f, 1, 170);
        } else if (key == "aperture") {
            s.aperture = number(v, f, 0.5, 64);
        } else if (key == "focalLength") {
            s.focalLength = number(v, f, 0.1, 1000);
        } else if (key == "iso") {
            std::tie(s.minISO, s.maxISO) = range(v, f, 1, 1000000);
        } else if (key == "exposureDuration") {
            std::tie(s.minExposureDuration, s.maxExposureDuration) = range(v, f, 1e-7, 3600);
        } else if (key == "exposureBias") {
            std::tie(s.minExposureBias, s.maxExposureBias) = range(v, f, -16, 16);
        } else if (key == "autoFocus") {
            s.autoFocus = boolean(v, f);
        } else if (key == "customLensPosition") {
            s.customLensPosition = boolean(v, f);
        } else if (key == "infinityLensPosition") {
            s.infinityLensPosition = number(v, f, 0, 1);
        } else if (key == "raw") {
            s.raw = boolean(v, f);
        } else if (key == "proRAW") {
            s.proRAW = boolean(v, f);
        } else if (key == "lowLightBoost") {
            s.lowLightBoost = boolean(v, f);
        } else if (key == "zoomFactors") {
            if (!v.is_array() || v.size() > 16) {
                fail(f, "expected a list of at most 16 numbers");
            }
            s.zoomFactors.clear();
            for (std::size_t i = 0; i < v.size(); ++i) {
                s.zoomFactors.push_back(number(v[i], f + "[" + describe(i) + "]", 1, 100));
            }
        } else if (key == "maxWhiteBalanceGain") {
            s.maxWhiteBalanceGain = number(v, f, 1, 64);
        } else if (key == "blackLevel") {
            s.blackLevel = std::uint32_t(number(v, f, 0, 65534));
        } else if (key == "whiteLevel") {
            s.whiteLevel = std::uint32_t(number(v, f, 1, 65535));
        } else {
            fail(f, "not a field of a camera");
        }
    }
    if (s.blackLevel >= s.whiteLevel) {
        fail(at + ".blackLevel", "must lie below the white level");
    }
    if (s.minExposureBias > 0 || s.maxExposureBias < 0) {
        fail(at + ".exposureBias", "must include 0");
    }
    return s;
}

CameraProfile profile(const Json& root) {
    if (!root.is_object()) {
        fail("", "expected an object");
    }
    CameraProfile p = CameraProfile::builtIn();
    if (!root.contains("cameras")) {
        fail("cameras", "missing");
    }
    for (const auto& [key, v] : root.items()) {
        if (key == "make") {
            p.make = text(v, key);
        } else if (key == "model") {
            p.model = text(v, key);
        } else if (key == "cameras") {
            if (!v.is_array() || v.size() > 8) {
                fail(key, "expected a list of at most 8 cameras");
            }
            p.cameras.clear();
            for (std::size_t i = 0; i < v.size(); ++i) {
                p.cameras.push_back(camera(v[i], "cameras[" + describe(i) + "]"));
            }
        } else {
            fail(key, "not a field of a camera profile");
        }
    }
    return p;
}

} // namespace

std::variant<CameraProfile, CameraProfileError> parseCameraProfile(std::string_view json) {
    const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
    if (root.is_discarded()) {
        return CameraProfileError{"", "not valid JSON"};
    }
    try {
        return profile(root);
    } catch (const Fault& fault) {
        return CameraProfileError{fault.field, fault.problem};
    }
}

std::variant<CameraProfile, std::string> readCameraProfile(const std::filesystem::path& file) {
    const std::string named = "camera profile " + quotedPath(file) + ": ";
    std::string content;
    if (const auto problem = readRegularFile(file, largestFile, content)) {
        return named + problem->reason;
    }
    auto parsed = parseCameraProfile(content);
    if (auto* fault = std::get_if<CameraProfileError>(&parsed)) {
        return named + fault->text();
    }
    return std::get<CameraProfile>(std::move(parsed));
}

CameraProfile loadCameraProfile(const std::filesystem::path& file) {
    auto read = readCameraProfile(file);
    if (auto* problem = std::get_if<std::string>(&read)) {
        print(*problem + "; the built-in profile applies");
        return CameraProfile::builtIn();
    }
    return std::get<CameraProfile>(std::move(read));
}

} // namespace qv::platform
