#pragma once
// View-local state and the objects a view observes.
//
//     struct Counter {
//         State<int> count{0};                        // kept per identity
//         EnvironmentObject<CameraManager> camera;     // found by type, observed
//         View body() const {
//             return Text(std::to_string(*count)).onTapGesture([c = count] { c.set(*c + 1); });
//         }
//     };
//
// State<T> members of a custom view keep their value in the ViewGraph that builds the
// view, keyed by the view's structural identity and the member's place in the view:
// the initial value counts only when the identity first appears; the value survives
// rebuilds and is dropped when the identity leaves the tree. A write (set or a
// binding's set) schedules a rebuild in the transaction current at the write, so a
// write inside withAnimation animates what it changes. Copies made while the body runs
// (closures capturing the view or the member) refer to the same storage. Read and
// write state on the main thread only.
//
// ObservedObject<T> and EnvironmentObject<T> hand out an ObservableObject; reading it
// while a body runs subscribes the graph to its will-change signal, so any change of
// its published properties rebuilds the views.

#include "platform/state/Binding.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/ui/views/View.hpp"

#include <memory>
#include <stdexcept>
#include <typeindex>
#include <typeinfo>

namespace qv::platform::ui {

namespace detail {

struct GraphCore;

class StateBoxBase {
public:
    explicit StateBoxBase(const std::type_info& valueType) : type(&valueType) {}
    virtual ~StateBoxBase() = default;
    /// Tells the owning graph that the value changed (nothing for a detached value).
    void changed() const;

    const std::type_info* type;
    std::weak_ptr<GraphCore> graph;
};

template <class T>
class StateBox final : public StateBoxBase {
public:
    explicit StateBox(T v) : StateBoxBase(typeid(T)), value(std::move(v)) {}
    T value;
};

/// The storage of the state member at `self`: found through the custom view being
/// built (or, after the build, through the mounted views of a live graph), made by
/// `make` when its identity first appears. Null when `self` belongs to no view a
/// graph knows.
std::shared_ptr<StateBoxBase> bindState(const void* self, const std::type_info& type,
                                        const std::function<std::shared_ptr<StateBoxBase>()>& make);

/// Subscribes the graph being built to `object`'s will-change signal.
void observe(ObservableObject& object);

/// The environment object of `type` where the current body runs; throws
/// std::logic_error when there is none (the app must place it).
const Environment::Object& environmentObject(const std::type_info& type);

} // namespace detail

template <class T>
class State {
public:
    State() : State(T{}) {}
    State(T initial) : initial_(std::make_shared<const T>(std::move(initial))) {} // NOLINT
    State(const State& other) : initial_(other.initial_), box_(other.boundBox()) {}
    State& operator=(const State&) = delete;

    const T& get() const { return box()->value; }
    const T& operator*() const { return get(); }
    const T* operator->() const { return &get(); }
    void set(T value) const {
        auto b = box();
        b->value = std::move(value);
        b->changed();
    }
    /// A binding whose setter is this state's write.
    Binding<T> binding() const {
        auto b = box();
        return Binding<T>([b] { return b->value; },
                          [b](T v) {
                              b->value = std::move(v);
                              b->changed();
                          });
    }

private:
    using Box = detail::StateBox<T>;

    // The storage of the identity being built (or mounted); a detached copy of the
    // initial value when the member belongs to no view in a graph.
    std::shared_ptr<Box> box() const {
        if (auto b = boundBox()) {
            return b;
        }
        if (!local_) {
            local_ = std::make_shared<Box>(*initial_);
        }
        return local_;
    }
    std::shared_ptr<Box> boundBox() const {
        auto found = detail::bindState(this, typeid(T), [this] {
            return std::static_pointer_cast<detail::StateBoxBase>(std::make_shared<Box>(*initial_));
        });
        if (found) {
            box_ = std::static_pointer_cast<Box>(found);
        }
        return box_;
    }

    std::shared_ptr<const T> initial_;
    mutable std::shared_ptr<Box> box_;   // the storage last found
    mutable std::shared_ptr<Box> local_; // outside any graph
};

/// An observable object handed to a view; reading it observes it.
template <class T>
class ObservedObject {
    static_assert(std::is_base_of_v<ObservableObject, T>, "observe an ObservableObject");

public:
    ObservedObject(T& object) : object_(&object) {} // NOLINT
    T& get() const {
        detail::observe(*object_);
        return *object_;
    }
    T& operator*() const { return get(); }
    T* operator->() const { return &get(); }

private:
    T* object_;
};

/// An object placed in the environment with `environmentObject`, found by its type
/// where the view stands. Reading one that is not there throws std::logic_error.
template <class T>
class EnvironmentObject {
public:
    T& get() const {
        const ResolveContext* ctx = ResolveContext::current();
        if (ctx != nullptr || object_ == nullptr) {
            const auto& found = detail::environmentObject(typeid(T));
            object_ = static_cast<T*>(found.object);
            if (found.observable != nullptr) {
                detail::observe(*found.observable);
            }
        }
        return *object_;
    }
    T& operator*() const { return get(); }
    T* operator->() const { return &get(); }

private:
    mutable T* object_ = nullptr; // found in the last build (for handlers that run later)
};

/// The environment where the current body runs (the default one outside a build).
const Environment& currentEnvironment();

} // namespace qv::platform::ui
