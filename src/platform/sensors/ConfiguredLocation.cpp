#include "platform/sensors/ConfiguredLocation.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <charconv>
#include <cmath>
#include <vector>

namespace qv::platform {

namespace {

// A whole decimal number and nothing else; no infinities or NaN.
std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto [end, problem] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (problem != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<ConfiguredLocation> ConfiguredLocation::parse(std::string_view text,
                                                            std::string& error) {
    std::vector<std::string_view> fields;
    for (bool more = true; more;) {
        const std::size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        more = comma != std::string_view::npos;
        text = more ? text.substr(comma + 1) : std::string_view();
    }
    if (fields.size() < 2 || fields.size() > 4) {
        error = "expected lat,lon[,alt[,heading]]";
        return std::nullopt;
    }
    static constexpr const char* kNames[] = {"latitude", "longitude", "altitude", "heading"};
    std::vector<double> values;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::optional<double> value = number(fields[i]);
        if (!value) {
            error =
                std::string("the ") + kNames[i] + " " + quotedText(fields[i]) + " is not a number";
            return std::nullopt;
        }
        values.push_back(*value);
    }
    ConfiguredLocation location;
    location.coordinate = {values[0], values[1]};
    if (!location.coordinate.isValid()) {
        error = "the latitude must lie within -90...90 and the longitude within -180...180";
        return std::nullopt;
    }
    if (values.size() > 2) {
        location.altitude = values[2];
    }
    if (values.size() > 3) {
        if (values[3] < 0 || values[3] >= 360) {
            error = "the heading must lie within 0...360";
            return std::nullopt;
        }
        location.heading = values[3];
    }
    return location;
}

} // namespace qv::platform
