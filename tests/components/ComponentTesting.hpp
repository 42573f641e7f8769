#pragma once
// What the component tests share: the phone-shaped scene and bindings to values the
// test owns, which note whether each write came inside an animation.

#include "platform/state/Binding.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/scene/ViewTree.hpp"

#include <vector>

namespace qv::testing {

/// 390 x 844 points with the safe-area insets of the window (47 at the top, 34 below).
inline platform::ui::SceneOptions phone() {
    platform::ui::SceneOptions o;
    o.safeAreaInsets = {47, 0, 34, 0};
    return o;
}

/// A value of the test's behind a binding; `animatedWrites` tells, per write, whether it
/// came inside an animated transaction.
template <class T>
struct Bound {
    T value;
    std::vector<bool> animatedWrites{};
    platform::Binding<T> binding() {
        return platform::Binding<T>([this] { return value; },
                                    [this](T v) {
                                        animatedWrites.push_back(
                                            platform::Transaction::current().animation.has_value());
                                        value = std::move(v);
                                    });
    }
};

} // namespace qv::testing
