#pragma once

#include "platform/state/Binding.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/StateChecks.hpp"

#include <atomic>
#include <functional>
#include <mutex>
#include <type_traits>

namespace qv::platform {

namespace detail {

// Reports a write of published state off the main thread (once per property).
void reportOffMainWrite();

// A copy of the value that other threads may read while the main thread writes.
template <typename T>
constexpr bool fitsLockFreeAtomic() {
    if constexpr (std::is_trivially_copyable_v<T>) {
        return std::atomic<T>::is_always_lock_free;
    } else {
        return false;
    }
}

template <typename T, bool LockFree = fitsLockFreeAtomic<T>()>
class Mirror {
public:
    explicit Mirror(const T& value) : value_(value) {}
    void store(const T& value) { value_.store(value, std::memory_order_release); }
    T load() const { return value_.load(std::memory_order_acquire); }

private:
    std::atomic<T> value_;
};

template <typename T>
class Mirror<T, false> {
public:
    explicit Mirror(const T& value) : value_(value) {}
    void store(const T& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    T load() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_; // the writer and readers on other threads
    T value_;
};

} // namespace detail

// One published property of an ObservableObject, declared in the owner:
//   Published<CameraState> cameraState{*this, CameraState::starting};
//
// A write (set(), =, or a binding's set) always does, in this order, also when the new value
// equals the old one:
//   1. the will-set observer with the new value;
//   2. the owner's will-change signal;
//   3. the property's subscribers with the new value (the value is not stored yet);
//   4. the store;
//   5. the did-set observer with the old value.
// A write made from inside the property's own will-set or did-set observer stores the value
// and sends the signals without calling the observers again. Reads never fire anything.
//
// Published state is written on the main thread (the main queue); a write elsewhere is
// reported once per property on the console (setOffMainWriteHandler in StateChecks.hpp
// lets tests make it fatal). get() is for the main thread; other threads read load(), an
// atomic mirror of the value (a lock-guarded copy for types that cannot be atomic).
template <typename T>
class Published {
public:
    using WillSet = std::function<void(const T& newValue)>;
    using DidSet = std::function<void(const T& oldValue)>;

    Published(ObservableObject& owner, T initial, WillSet willSet = {}, DidSet didSet = {})
        : owner_(owner), value_(initial), mirror_(initial), willSet_(std::move(willSet)),
          didSet_(std::move(didSet)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    // Installs the observers (usually once, in the owner's constructor).
    void setObservers(WillSet willSet, DidSet didSet) {
        willSet_ = std::move(willSet);
        didSet_ = std::move(didSet);
    }

    const T& get() const { return value_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }
    operator const T&() const { return value_; }

    T load() const { return mirror_.load(); }

    void set(T newValue) {
        if (!isMainThread()) {
            if (!reported_.exchange(true)) {
                detail::reportOffMainWrite();
            }
        }
        const bool runObservers = !inObserver_;
        if (runObservers && willSet_) {
            ObserverScope scope(inObserver_);
            willSet_(newValue);
        }
        owner_.sendWillChange();
        subscribers_.send(newValue);
        T oldValue = std::exchange(value_, std::move(newValue));
        mirror_.store(value_);
        if (runObservers && didSet_) {
            ObserverScope scope(inObserver_);
            didSet_(oldValue);
        }
    }

    Published& operator=(T newValue) {
        set(std::move(newValue));
        return *this;
    }

    // Called with the new value on every write, before it is stored.
    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> callback) {
        return subscribers_.subscribe(std::move(callback));
    }

    // A binding whose setter is this property's write. The owner must outlive it.
    Binding<T> binding() {
        return Binding<T>([this] { return value_; }, [this](T v) { set(std::move(v)); });
    }

private:
    class ObserverScope {
    public:
        explicit ObserverScope(bool& flag) : flag_(flag) { flag_ = true; }
        ~ObserverScope() { flag_ = false; }
        ObserverScope(const ObserverScope&) = delete;
        ObserverScope& operator=(const ObserverScope&) = delete;

    private:
        bool& flag_;
    };

    ObservableObject& owner_;
    T value_;
    detail::Mirror<T> mirror_;
    WillSet willSet_;
    DidSet didSet_;
    Signal<T> subscribers_;
    bool inObserver_ = false;           // written and read by the writing (main) thread only
    std::atomic<bool> reported_{false}; // an off-main write has been reported
};

} // namespace qv::platform
