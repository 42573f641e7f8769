#pragma once
// Views as values. A View is an immutable description; building it for a scene
// resolves custom views' bodies into a tree of elements (see Element.hpp),
// which is then laid out and drawn (see ViewTree.hpp).
//
// A custom view is any type with `View body() const`; it converts to View:
//
//     struct Badge {
//         std::string label;
//         View body() const { return Text(label).font(Font::caption()).padding(4); }
//     };
//     View v = VStack({Badge{"RAW"}, Spacer()});
//
// Modifiers return a new View that wraps this one; they compose in the order
// written, as on the phone toolkit (padding then background differs from
// background then padding).

#include "platform/state/Binding.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Signal.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/geometry/Shape.hpp"
#include "platform/ui/views/AlertButton.hpp"
#include "platform/ui/views/Environment.hpp"
#include "platform/ui/views/Transition.hpp"
#include "platform/ui/views/ViewInput.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace qv::platform::ui {

class Element;
class View;
struct ResolveContext;
using ElementList = std::vector<std::unique_ptr<Element>>;

/// One node of a view description. Resolving appends the node's elements
/// (none for an empty view, several for a group) to `out`.
class ViewNode {
public:
    virtual ~ViewNode() = default;
    virtual void resolve(const ResolveContext& context, ElementList& out) const = 0;
    /// A group (of a ForEach, Group or conditional) hands out its children with their
    /// keys instead, so that lazy containers resolve only those they show. Others
    /// return false.
    virtual bool expand(std::vector<std::pair<std::string, View>>& /*out*/) const { return false; }
};

/// Default lengths of the layout rules.
inline constexpr double kDefaultPadding = 16;
inline constexpr double kDefaultSpacing = 8;

enum class ContentMode { fit, fill };
enum class SafeAreaRegions { all, container, keyboard };

/// Limits of a flexible frame; absent limits do not constrain. Built fluently:
/// `FrameLimits{}.withMaxWidth(kInfinity).withAlignment(Alignment::leading())`.
struct FrameLimits {
    std::optional<double> minWidth, idealWidth, maxWidth;
    std::optional<double> minHeight, idealHeight, maxHeight;
    Alignment alignment{};

    FrameLimits withMinWidth(double v) const { return with(&FrameLimits::minWidth, v); }
    FrameLimits withIdealWidth(double v) const { return with(&FrameLimits::idealWidth, v); }
    FrameLimits withMaxWidth(double v) const { return with(&FrameLimits::maxWidth, v); }
    FrameLimits withMinHeight(double v) const { return with(&FrameLimits::minHeight, v); }
    FrameLimits withIdealHeight(double v) const { return with(&FrameLimits::idealHeight, v); }
    FrameLimits withMaxHeight(double v) const { return with(&FrameLimits::maxHeight, v); }
    FrameLimits withAlignment(Alignment a) const {
        FrameLimits c = *this;
        c.alignment = a;
        return c;
    }
    /// Grows to whatever it is offered on both axes.
    static FrameLimits infinite() {
        return FrameLimits{}.withMaxWidth(kInfinity).withMaxHeight(kInfinity);
    }

private:
    FrameLimits with(std::optional<double> FrameLimits::*field, double v) const {
        FrameLimits c = *this;
        c.*field = v;
        return c;
    }
};

template <class V>
concept CustomView = requires(const V& v) {
    { v.body() } -> std::convertible_to<View>;
};

/// Name of a custom view type, used in structural identities.
std::string typeName(const std::type_info& type);

class View {
public:
    /// The empty view: takes no space and draws nothing.
    View();
    explicit View(std::shared_ptr<const ViewNode> node) : node_(std::move(node)) {}
    View(const Color& color); // NOLINT: a colour is a view that fills what it is offered
    template <CustomView V>
    View(V custom); // NOLINT: custom views convert implicitly

    const std::shared_ptr<const ViewNode>& node() const { return node_; }

    // Layout.
    View padding(double length = kDefaultPadding) const;
    View padding(Edges edges, double length = kDefaultPadding) const;
    View padding(EdgeInsets insets) const;
    View frame(std::optional<double> width, std::optional<double> height,
               Alignment alignment = {}) const;
    View frame(const FrameLimits& limits) const;
    View fixedSize(bool horizontal = true, bool vertical = true) const;
    View aspectRatio(std::optional<double> ratio, ContentMode mode) const;
    View scaledToFit() const { return aspectRatio(std::nullopt, ContentMode::fit); }
    View scaledToFill() const { return aspectRatio(std::nullopt, ContentMode::fill); }
    View position(double x, double y) const;
    View offset(double x, double y) const;
    View overlay(const View& view, Alignment alignment = {}) const;
    View background(const View& view, Alignment alignment = {}) const;
    View ignoresSafeArea(SafeAreaRegions regions = SafeAreaRegions::all,
                         Edges edges = Edges::all) const;
    View layoutPriority(double priority) const;
    /// Drawing order among siblings; higher draws later (on top).
    View zIndex(double z) const;

    // Drawing effects: none of them changes layout.
    View opacity(double opacity) const;
    View rotationEffect(double radians, UnitPoint anchor = {}) const;
    View scaleEffect(double scale, UnitPoint anchor = {}) const {
        return scaleEffect(scale, scale, anchor);
    }
    View scaleEffect(double x, double y, UnitPoint anchor = {}) const;
    View shadow(const Color& color, double radius, double x = 0, double y = 0) const;
    View blur(double radius, bool opaque = false) const;
    /// Inverts the colours of everything the view draws (white becomes black), keeping
    /// their alpha.
    View colorInvert() const;
    View clipShape(const Shape& shape) const;
    View clipped() const;
    /// The shape that receives input; the view still draws as before.
    View contentShape(const Shape& shape) const;

    // Inherited values.
    View foregroundColor(const Color& color) const;
    View foregroundStyle(const ShapeStyle& style) const;
    View font(const Font& font) const;
    View fontWeight(FontWeight weight) const;
    /// Scales symbol images against the current font.
    View imageScale(ImageScale scale) const;
    View monospacedDigit() const;
    View lineLimit(std::optional<int> lines) const;
    View minimumScaleFactor(double factor) const;
    View multilineTextAlignment(TextAlignment alignment) const;
    View colorScheme(ColorScheme scheme) const;
    /// Lets the texts of the subtree be copied: a long press puts a text's whole string
    /// on the clipboard (Clipboard.hpp).
    View textSelection(bool enabled) const;
    View disabled(bool disabled) const;
    /// A change of the environment for the whole subtree.
    View transformEnvironment(std::function<void(Environment&)> change) const;

    // Identity and queries.
    /// Replaces this view's structural position in its parent by an explicit id.
    View id(const std::string& id) const;
    /// A name tests find the view by.
    View testTag(const std::string& tag) const;

    // Lifecycle (ViewGraph.hpp). Handlers run on the main thread after the build in
    // which their view's identity appears, leaves or sees a new value.
    View onAppear(std::function<void()> action) const;
    View onDisappear(std::function<void()> action) const;
    /// Calls `action` with the new value after a build in which `value` differs from
    /// the value of the build before (never at the first appearance).
    template <std::equality_comparable T>
    View onChange(const T& value, std::function<void(const T&)> action) const;
    /// A repeating timer on the main queue while this view is mounted: it keeps running
    /// across rebuilds (each tick calls the newest `tick`) and stops when the view leaves.
    View onTimer(double intervalSeconds, std::function<void()> tick) const;
    /// Listens to a notice while this view is mounted: when the view appears, `subscribe`
    /// is called once with the function the notice must call, and the subscription it
    /// returns is kept until the view leaves (later builds do not subscribe again). Each
    /// notice runs the newest `action` on the main queue (one sent on another thread is
    /// queued there); a notice queued when the view has left runs nothing.
    ///
    ///     .onReceive<DeviceOrientation>(
    ///         [](auto notice) { return Device::current().observeOrientation(notice); },
    ///         [&camera](DeviceOrientation) { camera.updateDeviceOrientation(); })
    /// The notice's argument types are given explicitly (`onReceive<DeviceOrientation>`).
    template <class... Args>
    View onReceive(
        std::type_identity_t<std::function<Subscription(std::function<void(Args...)>)>> subscribe,
        std::type_identity_t<std::function<void(Args...)>> action) const;
    /// Puts `object` into the environment of the subtree, found by its type
    /// (EnvironmentObject<T>). The caller keeps the object alive.
    template <class T>
    View environmentObject(T& object) const;
    View environment(std::function<void(Environment&)> change) const {
        return transformEnvironment(std::move(change));
    }

    // Input (ViewInput.hpp). Gestures attached to one view compete on one level; a
    // deeper view's gestures go first.
    View onTapGesture(int count, std::function<void()> action) const;
    View onTapGesture(std::function<void()> action) const {
        return onTapGesture(1, std::move(action));
    }
    View onLongPressGesture(double minimumDuration, double maximumDistance,
                            std::function<void()> action) const;
    View onLongPressGesture(std::function<void()> action) const {
        return onLongPressGesture(0.5, 10, std::move(action));
    }
    View gesture(const DragGesture& drag) const;
    /// Whether the view and its subtree take part in hit testing.
    View allowsHitTesting(bool enabled) const;

    // Presentation (Presentation.cpp).
    /// While `isPresented` is true, `content` covers the whole screen above everything
    /// else; its environment's `dismiss` sets the binding to false.
    View fullScreenCover(Binding<bool> isPresented, std::function<View()> content) const;
    /// While `isPresented` is true, an alert lies above everything, covers included: a
    /// box with `title`, `message` and `buttons` (one "OK" when none) over the dimmed
    /// screen, which takes every press. A button clears the binding, then runs its action.
    View alert(std::string title, Binding<bool> isPresented, std::string message,
               std::vector<AlertButton> buttons = {}) const;
    /// The window's own modal layer (the system's prompts and panels, drawn by the window
    /// host): `content` lies above everything the app presents, covers and alerts included.
    View systemLayer(std::function<View()> content) const;
    /// How the view comes in and goes out when its presence changes in an animated
    /// transaction (animated in the window; at once in tests).
    View transition(const Transition& transition) const;

private:
    std::shared_ptr<const ViewNode> node_;
};

namespace detail {
/// The custom view value whose body (or a closure of it) is being resolved: state
/// members are found by their offset in it.
struct OwnerView {
    const void* base = nullptr;
    std::size_t size = 0;
    std::string path;
};
} // namespace detail

/// Information a custom view's body may read while it is built: where it
/// stands in the tree and the environment there.
struct ResolveContext {
    std::string path;
    std::shared_ptr<const Environment> environment;
    /// The nearest enclosing custom view (absent at the root).
    std::shared_ptr<const detail::OwnerView> owner;
    /// The current context while a custom view's body runs (null outside a build).
    static const ResolveContext* current();

    ResolveContext child(const std::string& component) const;
    /// The same owner at another path and environment.
    ResolveContext at(std::string atPath, std::shared_ptr<const Environment> env) const {
        return {std::move(atPath), std::move(env), owner};
    }
};

namespace detail {
/// Records a custom view value being resolved (its state stays alive) and keeps the
/// body's view values alive as long as the tree (handlers may refer to them).
void mountView(const std::shared_ptr<const OwnerView>& owner);
void retainBody(const View& body);
View onChangeErased(const View& content, std::shared_ptr<const void> value,
                    std::function<bool(const void*, const void*)> equal,
                    std::function<void(const void*)> action);
View environmentObjectErased(const View& content, std::type_index type, void* object,
                             ObservableObject* observable);
/// onReceive with the notice's values passed as a pointer to a tuple of them.
View onReceiveErased(
    const View& content,
    std::function<Subscription(std::function<void(std::shared_ptr<const void>)>)> subscribe,
    std::function<void(const void*)> action);

/// Runs `body` with `context` as the current resolve context.
View withContext(const ResolveContext& context, const std::function<View()>& body);
void resolveView(const View& view, const ResolveContext& context, ElementList& out);

template <class V>
class CustomNode final : public ViewNode {
public:
    explicit CustomNode(V v) : value_(std::move(v)) {}
    void resolve(const ResolveContext& context, ElementList& out) const override {
        ResolveContext inner = context.child(typeName(typeid(V)));
        inner.owner = std::make_shared<const OwnerView>(OwnerView{&value_, sizeof(V), inner.path});
        mountView(inner.owner);
        View body = withContext(inner, [this] { return View(value_.body()); });
        retainBody(body);
        resolveView(body, inner, out);
    }

private:
    V value_;
};
} // namespace detail

template <CustomView V>
View::View(V custom) : node_(std::make_shared<detail::CustomNode<V>>(std::move(custom))) {}

template <std::equality_comparable T>
View View::onChange(const T& value, std::function<void(const T&)> action) const {
    return detail::onChangeErased(
        *this, std::make_shared<const T>(value),
        [](const void* a, const void* b) {
            return *static_cast<const T*>(a) == *static_cast<const T*>(b);
        },
        [action = std::move(action)](const void* v) { action(*static_cast<const T*>(v)); });
}

template <class... Args>
View View::onReceive(
    std::type_identity_t<std::function<Subscription(std::function<void(Args...)>)>> subscribe,
    std::type_identity_t<std::function<void(Args...)>> action) const {
    using Values = std::tuple<std::decay_t<Args>...>;
    return detail::onReceiveErased(
        *this,
        [subscribe =
             std::move(subscribe)](std::function<void(std::shared_ptr<const void>)> deliver) {
            return subscribe([deliver = std::move(deliver)](Args... args) {
                deliver(std::make_shared<const Values>(std::forward<Args>(args)...));
            });
        },
        [action = std::move(action)](const void* values) {
            std::apply(action, *static_cast<const Values*>(values));
        });
}

template <class T>
View View::environmentObject(T& object) const {
    ObservableObject* observable = nullptr;
    if constexpr (std::is_base_of_v<ObservableObject, T>) {
        observable = &object;
    }
    return detail::environmentObjectErased(*this, std::type_index(typeid(T)), &object, observable);
}

} // namespace qv::platform::ui
