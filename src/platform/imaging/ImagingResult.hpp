#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace qv::platform::imaging {

// An encoded file held in memory.
using FileData = std::vector<std::uint8_t>;
using FileBytes = std::span<const std::uint8_t>;

// The outcome of an encoding or decoding step: the value, or a message that
// says what went wrong ("JPEG: not a JPEG file"). Nothing in this layer throws.
template <class T>
class Result {
public:
    Result(T value) : state(std::move(value)) {}
    static Result failure(std::string message) { return Result(Failure{std::move(message)}); }

    bool ok() const { return std::holds_alternative<T>(state); }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<T>(state); }
    const T& value() const { return std::get<T>(state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Empty when ok().
    std::string error() const { return ok() ? std::string() : std::get<Failure>(state).message; }

private:
    struct Failure {
        std::string message;
    };
    explicit Result(Failure f) : state(std::move(f)) {}
    std::variant<T, Failure> state;
};

// The container of encoded file data, told by its first bytes. A TIFF file
// that carries a DNGVersion tag is a DNG.
enum class FileKind { unknown, jpeg, tiff, dng };
FileKind fileKind(FileBytes data);

} // namespace qv::platform::imaging
