#pragma once

#include "platform/media/Metadata.hpp"

#include <cstdint>
#include <vector>

// Sensor levels of a RAW photo read from the "{DNG}" group of its metadata, and
// the per-channel clipping points the night merger uses as lower and upper
// limits. Levels are in raw sensor units.
namespace qv {

// The black level; 0 when missing or not a number in the range of 32 bits.
// A level stored per channel (a list) gives its first entry.
std::uint32_t dngBlackLevel(const platform::MetadataDictionary& metadata);
// The white level; 16383 (the largest 14-bit value) when missing or unusable,
// a list giving its first entry as for the black level.
std::uint32_t dngWhiteLevel(const platform::MetadataDictionary& metadata);
// The as-shot neutral colour, one entry per channel; [1, 1, 1] when missing or
// not a list of numbers.
std::vector<double> dngAsShotNeutral(const platform::MetadataDictionary& metadata);

// One lower limit per neutral entry: the black level, raised by 4 units for each
// whole multiple (rounded up, minus one) by which the entry exceeds the smallest.
// Empty when the neutral is empty, has an entry that is not finite and positive,
// or a point would not fit 32 bits.
std::vector<std::uint32_t> blackClippingPoints(const platform::MetadataDictionary& metadata);
// One upper limit per neutral entry: 4 x (floor(entry x (white/4 - black/4)) + black/4).
// Empty when the neutral is empty or unusable as above, the white level is below
// the black level, or a point would not fit 32 bits.
std::vector<std::uint32_t> whiteClippingPoints(const platform::MetadataDictionary& metadata);

} // namespace qv
