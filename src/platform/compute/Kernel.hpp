#pragma once

#include "platform/compute/Texture.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace qv::platform::compute {

// A small parameter buffer: a few bytes copied when it is made (a count, a
// factor, three limits). Held by value, so binding one never allocates.
class Buffer {
public:
    static constexpr std::size_t maxLength = 64;

    // Nothing when length exceeds maxLength (or bytes is null with a length).
    static std::optional<Buffer> withBytes(const void* bytes, std::size_t length);

    std::size_t length() const { return length_; }
    const std::byte* contents() const { return bytes_.data(); }

private:
    std::array<std::byte, maxLength> bytes_{};
    std::size_t length_ = 0;
};

inline constexpr std::size_t maxTextureBindings = 8;
inline constexpr std::size_t maxBufferBindings = 8;

// The textures and parameter buffers of one pass, by binding index.
class PassArguments {
public:
    void setTexture(const Texture& texture, std::size_t index);
    void setBuffer(const Buffer& buffer, std::size_t offset, std::size_t index);

    bool hasTexture(std::size_t index) const {
        return index < maxTextureBindings && textures_[index].has_value();
    }
    // The texture at index; only for indices hasTexture() confirms.
    const Texture& texture(std::size_t index) const { return *textures_[index]; }

    // The bytes of buffer `index` from its offset as a T (little-endian, as
    // the device stores them); nothing when unbound or too short.
    template <class T>
    std::optional<T> value(std::size_t index, std::size_t element = 0) const {
        if (index >= maxBufferBindings || !buffers_[index]) {
            return std::nullopt;
        }
        const Binding& binding = *buffers_[index];
        const std::size_t start = binding.offset + element * sizeof(T);
        if (start + sizeof(T) > binding.buffer.length()) {
            return std::nullopt;
        }
        T result;
        std::memcpy(&result, binding.buffer.contents() + start, sizeof(T));
        return result;
    }

private:
    struct Binding {
        Buffer buffer;
        std::size_t offset;
    };
    std::array<std::optional<Texture>, maxTextureBindings> textures_;
    std::array<std::optional<Binding>, maxBufferBindings> buffers_;
};

// Part of a pass given to one call of a kernel: texel columns [x0, x1) of
// rows [y0, y1). The layer hands kernels only texels inside their textures.
struct Tile {
    std::size_t x0 = 0;
    std::size_t x1 = 0;
    std::size_t y0 = 0;
    std::size_t y1 = 0;
};

// A compute kernel as plain functions: `check` looks at the bound textures
// and buffers once before a pass runs (wrong formats, missing bindings) and
// explains a refusal in `why`; `run` computes one tile. A kernel picks its
// inner loop by texture format once per tile and loops over contiguous
// rows, so the compiler can vectorise it; nothing is called per texel.
struct Kernel {
    bool (*check)(const PassArguments& arguments, std::string& why) = nullptr;
    void (*run)(const PassArguments& arguments, const Tile& tile) = nullptr;
};

} // namespace qv::platform::compute
