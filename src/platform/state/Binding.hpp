#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace qv::platform {

// A read-write handle on a value that lives elsewhere: a published property (its setter then
// is the property's own write, with every signal and observer) or any getter and setter.
// Copies refer to the same value. Whoever makes a binding keeps its source alive while the
// binding is used.
template <typename T>
class Binding {
public:
    Binding(std::function<T()> get, std::function<void(T)> set)
        : get_(std::move(get)), set_(std::move(set)) {}

    // A binding to a value of its own, for previews and tests.
    static Binding constant(T value) {
        auto stored = std::make_shared<T>(std::move(value));
        return Binding([stored] { return *stored; }, [stored](T v) { *stored = std::move(v); });
    }

    T get() const { return get_(); }
    void set(T value) const { set_(std::move(value)); }
    T operator*() const { return get(); }
    const Binding& operator=(T value) const {
        set(std::move(value));
        return *this;
    }

    // A binding to one member of this value: writing it reads the value, changes the member
    // and writes the value back through this binding.
    template <typename M, typename C = T>
    requires std::is_class_v<C> Binding<M> member(M C::*field)
    const {
        return Binding<M>([self = *this, field] { return self.get().*field; },
                          [self = *this, field](M v) {
                              T whole = self.get();
                              whole.*field = std::move(v);
                              self.set(std::move(whole));
                          });
    }

private:
    std::function<T()> get_;
    std::function<void(T)> set_;
};

} // namespace qv::platform
