#pragma once

#include <vector>

namespace qv::platform {

// The camera's shutter sound, made in code: two short clicks of decaying filtered noise
// (the shutter opening and closing), mono, at `sampleRate`, within [-1, 1]. The same
// samples on every call.
std::vector<float> shutterClick(int sampleRate);

} // namespace qv::platform
