#pragma once

#include "platform/compute/CommandQueue.hpp"
#include "platform/compute/Device.hpp"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qv::kernels::testing {

using platform::compute::Buffer;
using platform::compute::Texture;
using platform::compute::TextureFormat;

// A small texture filled row by row with the given channel values.
Texture makeTexture(TextureFormat format, std::size_t width, std::size_t height,
                    std::initializer_list<double> channels = {});

// Sets channel i of row y (a float for float formats, else whole).
void setChannel(const Texture& texture, std::size_t y, std::size_t i, double value);

// Every channel of a texture, row by row, as doubles.
std::vector<double> contents(const Texture& texture);

Buffer uintBuffer(std::initializer_list<std::uint32_t> values);
Buffer floatBuffer(float value);

// Runs one pass of the named merge kernel; false (with the reason in `why`)
// when the pass was refused.
bool runKernel(const std::string& name, std::initializer_list<Texture> textures,
               std::initializer_list<std::pair<std::size_t, Buffer>> buffers = {},
               std::string* why = nullptr);

} // namespace qv::kernels::testing
