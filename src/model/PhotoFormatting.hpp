#pragma once

#include "platform/media/MediaTime.hpp"

#include <cstdint>
#include <string>
#include <string_view>

// Display texts of shutter speeds and exposure values. Numbers are written in
// the current number locale (platform::NumberLocale::current()).
namespace qv::QVPhotoMath {

// Above 0.34 s: the seconds to one decimal with an "s" suffix ("2.5s", "30s", "0.4s").
// Otherwise "¹/" and the reciprocal's whole part ("¹/125"); abbreviated, a reciprocal
// of 10000 or more is written in thousands with a "k" ("¹/16k"). The whole part allows
// a relative error of 1e-6, so a speed that went through a media time keeps its
// denominator (1/1000 s reads "¹/1000", not "¹/999"). A speed that is zero,
// negative or not finite has no such text and gives "–".
std::string formattedShutterSpeed(double seconds, bool abbreviated);
// The same for a media time; a time that a standard speed stores as exactly, and
// that lies within a relative 0.1 % of that speed, is written as that speed, so
// even 1/102400 s keeps its denominator at the preferred timescale, and 1/125 s
// stored as 1 at timescale 125 reads "¹/125" (not a shorter speed that rounds
// to the same tick).
std::string formattedShutterSpeed(const platform::MediaTime& time, bool abbreviated);

// "+", "-" or nothing, the whole EV and the remaining thirds as a fraction:
// 0.33 -> "+¹/₃", -0.67 -> "-²/₃", 1.67 -> "+1²/₃", 2.9 -> "+3"; values below
// half a third's rounding to one EV give "0". A value that is not finite gives "–".
std::string formattedEV(double ev);
std::string formattedEV(float ev);

// The digits of the text as superscript (subscript) characters; every other
// character is dropped: "1a2" -> "¹²". The integer forms write the number in
// decimal first, so the sign is dropped too.
std::string superscripted(std::string_view text);
std::string superscripted(std::int64_t number);
std::string subscripted(std::string_view text);
std::string subscripted(std::int64_t number);

} // namespace qv::QVPhotoMath
