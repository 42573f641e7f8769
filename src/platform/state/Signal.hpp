#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qv::platform {

// Keeps one subscription alive; dropping (or reset()) ends it. Move-only. Safe to drop after
// the thing subscribed to is gone, and from any thread.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> end) : end_(std::move(end)) {}
    Subscription(Subscription&& other) noexcept : end_(std::exchange(other.end_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            end_ = std::exchange(other.end_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (end_) {
            std::exchange(end_, {})();
        }
    }
    bool isActive() const { return static_cast<bool>(end_); }

private:
    std::function<void()> end_;
};

// A list of callbacks called in subscription order by send(). A callback may subscribe or
// end subscriptions (its own too) while it runs: callbacks added during a send are not called
// by it, and an ended subscription is never called again once reset() has returned on the
// thread that sends.
template <typename... Args>
class Signal {
public:
    Signal() : state_(std::make_shared<State>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Subscription subscribe(std::function<void(const Args&...)> callback) {
        auto slot = std::make_shared<Slot>(std::move(callback));
        {
            std::lock_guard lock(state_->mutex);
            state_->slots.push_back(slot);
        }
        return Subscription(
            [weakState = std::weak_ptr<State>(state_), weakSlot = std::weak_ptr<Slot>(slot)] {
                const auto slotNow = weakSlot.lock();
                if (slotNow) {
                    slotNow->active = false;
                }
                if (const auto stateNow = weakState.lock(); stateNow && slotNow) {
                    std::lock_guard lock(stateNow->mutex);
                    std::erase(stateNow->slots, slotNow);
                }
            });
    }

    void send(const Args&... args) const {
        std::vector<std::shared_ptr<Slot>> slots;
        {
            std::lock_guard lock(state_->mutex);
            slots = state_->slots;
        }
        for (const auto& slot : slots) {
            if (slot->active) {
                slot->callback(args...);
            }
        }
    }

    bool hasSubscribers() const {
        std::lock_guard lock(state_->mutex);
        return !state_->slots.empty();
    }

private:
    struct Slot {
        explicit Slot(std::function<void(const Args&...)> cb) : callback(std::move(cb)) {}
        std::function<void(const Args&...)> callback;
        std::atomic<bool> active{true}; // cleared by the subscription's end, on any thread
    };
    struct State {
        std::mutex mutex; // guards slots: subscriptions may end on other threads
        std::vector<std::shared_ptr<Slot>> slots;
    };
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
