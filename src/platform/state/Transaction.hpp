#pragma once

#include <optional>
#include <type_traits>
#include <utility>

namespace qv::platform {

// How a change should be animated by the views that show it.
struct Animation {
    enum class Kind { defaultCurve, linear, easeIn, easeOut, easeInOut, spring };
    Kind kind = Kind::defaultCurve;
    double duration = 0.35; // seconds

    static Animation defaultAnimation() { return {}; }
    static Animation linear(double seconds) { return {Kind::linear, seconds}; }
    static Animation easeIn(double seconds) { return {Kind::easeIn, seconds}; }
    static Animation easeOut(double seconds) { return {Kind::easeOut, seconds}; }
    static Animation easeInOut(double seconds) { return {Kind::easeInOut, seconds}; }
    static Animation spring(double seconds = 0.5) { return {Kind::spring, seconds}; }

    bool operator==(const Animation&) const = default;
};

// The circumstances of the change being made on this thread: observers (will-change,
// will-set, did-set, subscribers) read Transaction::current() to see whether it is animated.
struct Transaction {
    std::optional<Animation> animation;

    static const Transaction& current();
};

// Makes a transaction current on this thread for the scope's lifetime (scopes nest).
class TransactionScope {
public:
    explicit TransactionScope(Transaction transaction);
    ~TransactionScope();
    TransactionScope(const TransactionScope&) = delete;
    TransactionScope& operator=(const TransactionScope&) = delete;

private:
    Transaction previous_;
};

// Runs `change` at once, with an animated transaction current while it runs:
//   withAnimation(Animation::easeInOut(0.3), [&] { controller.zoom = 2; });
template <typename F>
decltype(auto) withAnimation(Animation animation, F&& change) {
    TransactionScope scope(Transaction{animation});
    return std::forward<F>(change)();
}

template <typename F>
decltype(auto) withAnimation(F&& change) {
    return withAnimation(Animation::defaultAnimation(), std::forward<F>(change));
}

} // namespace qv::platform
