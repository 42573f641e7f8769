#pragma once

// The kinds of camera the contract tests run on.
#include "platform/capture/CaptureDeviceInMemory.hpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qv::platform {

struct InMemoryKind {
    static std::shared_ptr<CaptureDevice> make() {
        return std::make_shared<InMemoryCaptureDevice>();
    }
};

using CaptureDeviceKinds = ::testing::Types<InMemoryKind>;

struct CaptureDeviceKindNames {
    template <class T>
    static std::string GetName(int) {
        if constexpr (std::is_same_v<T, InMemoryKind>) {
            return "InMemory";
        }
        return "Simulated";
    }
};

} // namespace qv::platform
