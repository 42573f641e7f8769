#pragma once

// What a fuzz target checks of a result beyond "no crash". A failed check
// prints the condition and aborts, so libFuzzer keeps the input as a crash and
// the replay test fails on it.
#define QV_FUZZ_CHECK(condition)                                                                   \
    ((condition) ? void(0) : ::qv::fuzz::checkFailed(#condition, __FILE__, __LINE__))

namespace qv::fuzz {

[[noreturn]] void checkFailed(const char* condition, const char* file, int line);

} // namespace qv::fuzz
