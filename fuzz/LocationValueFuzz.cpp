// The --location / QV_LOCATION value: any text is either a fix within the earth's ranges
// (and a heading within a turn) or refused with a reason on one line.

#include "platform/sensors/ConfiguredLocation.hpp"
#include "support/FuzzCheck.hpp"

#include <cmath>
#include <cstdint>
#include <string>

using namespace qv::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto fix = ConfiguredLocation::parse({reinterpret_cast<const char*>(data), size}, error);
    if (!fix) {
        QV_FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    QV_FUZZ_CHECK(fix->coordinate.isValid());
    QV_FUZZ_CHECK(std::isfinite(fix->altitude));
    QV_FUZZ_CHECK(!fix->heading || (*fix->heading >= 0 && *fix->heading < 360));
    return 0;
}
