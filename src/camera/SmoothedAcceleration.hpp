#pragma once

#include "platform/sensors/Acceleration.hpp"

#include <cstddef>
#include <deque>

namespace qv {

// The moving average of the latest accelerometer samples that the spirit level draws
// from: at most bufferSize samples are kept, oldest first, and each component of the
// average is their sum, added from oldest to newest, divided by their number. With no
// samples every component is NaN.
//
// Threads: one user at a time (the controller's motion operation queue).
class SmoothedAcceleration {
public:
    explicit SmoothedAcceleration(std::size_t bufferSize = 10) : bufferSize_(bufferSize) {}

    // Appends the sample, drops the oldest once more than bufferSize are kept, and returns
    // the average.
    platform::Acceleration add(double x, double y, double z);
    platform::Acceleration average() const;
    // Forgets every sample.
    void removeAll() { buffer_.clear(); }

    std::size_t count() const { return buffer_.size(); }
    std::size_t bufferSize() const { return bufferSize_; }

private:
    std::deque<platform::Acceleration> buffer_;
    std::size_t bufferSize_;
};

} // namespace qv
