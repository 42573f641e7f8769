#pragma once

#include "model/Enumerations.hpp"
#include "model/Exposure.hpp"
#include "platform/media/Metadata.hpp"

#include <atomic>
#include <cstdint>
#include <optional>

namespace qv {

// What one run works from, fixed on the main queue when it begins shooting. Its requests,
// its processing on "PhotoSession", its intermediate saves and its finish read the record,
// never the live settings: the screens may change the format or the mode once the run's
// time is up, while its last photos are still being merged.
//
// Threads: written before it is shared and read-only after, except `aborted`, which the
// main queue sets and "PhotoSession" reads.
struct RunRecord {
    // Each run of the controller gets the next number; work tagged with an older one is
    // stale and does nothing.
    std::uint64_t generation = 0;

    SupportedImageFormat format = SupportedImageFormat::JPEG;
    SequenceMode mode = SequenceMode::frameAveraging;
    float bracketEV = 0; // 0: no bracket
    bool saveFAwithLT = false;
    std::int64_t durationIndex = 1;
    int run = 1; // run k of a series of n
    int runs = 1;
    // The planned length of the whole series (one run's length times the runs), which
    // sets the gap before each request.
    double seriesLength = 0;
    // The exposures of each frame: the first one, and the second one of a bracket.
    std::optional<Exposure> defaultExposure;
    std::optional<Exposure> alternativeExposure;
    // The {GPS} group every photo of the run carries; nothing without location saving.
    std::optional<platform::MetadataDictionary> location;
    // The exposure compensation of the main result in EV (night mode brightened when its
    // frames were shot at the base ISO).
    double compensation = 0;

    // The run was aborted: it finishes at its next request instead of shooting.
    std::atomic<bool> aborted{false};

    // Its requests are two-exposure brackets, and the finish saves their two streams: set
    // when the run begins, from what its requests can ask of the photo output
    // (PhotoRequest.hpp), never from the plan alone.
    bool shootsBracket = false;
    // The light-trail result is saved beside its plain average.
    bool savesFrameAverage() const {
        return mode == SequenceMode::lightTrails && saveFAwithLT && durationIndex > 0;
    }
};

} // namespace qv
