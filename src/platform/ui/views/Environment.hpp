#pragma once
// Values inherited down the view tree: a modifier sets one for its whole
// subtree, and a view reads the value in effect where it stands.

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/drawing/Font.hpp"
#include "platform/ui/drawing/TextOptions.hpp"
#include "platform/ui/views/ScenePhase.hpp"

#include <functional>
#include <optional>
#include <typeindex>
#include <vector>

namespace qv::platform {
class ObservableObject;
}

namespace qv::platform::ui {

enum class Axis { horizontal, vertical };
/// The size of symbol images relative to the font: small 0.8, medium 1, large 1.3 times.
enum class ImageScale { small, medium, large };

struct Environment {
    ColorScheme colorScheme = ColorScheme::light;
    /// Foreground of text, symbols and unfilled shapes; absent means the label colour.
    std::optional<Color> foreground;
    /// Level of the foreground style (a `secondary` style dims the foreground).
    HierarchicalStyle foregroundLevel = HierarchicalStyle::primary;
    Font font = Font::body();
    std::optional<int> lineLimit;
    double minimumScaleFactor = 1.0;
    TextAlignment multilineTextAlignment = TextAlignment::leading;
    bool isEnabled = true;
    ImageScale imageScale = ImageScale::medium;
    /// Pixels per point of the scene being drawn.
    double displayScale = 1;
    /// The axis of the nearest enclosing stack: the direction a spacer grows in.
    std::optional<Axis> stackAxis;
    /// The scene's phase (set by the graph that builds the tree).
    ScenePhase scenePhase = ScenePhase::active;
    /// Ends the presentation the view stands in (a full-screen cover); does nothing
    /// outside one.
    std::function<void()> dismiss = [] {};
    /// Whether views in the subtree take part in hit testing.
    bool allowsHitTesting = true;
    /// Whether a long press on a text copies it to the clipboard (textSelection).
    bool textSelectionEnabled = false;

    /// Objects placed with `environmentObject`, found by their type.
    struct Object {
        std::type_index type;
        void* object;
        ObservableObject* observable; // null for objects that publish nothing
    };
    std::vector<Object> objects;
    /// The object of `type` nearest to the view, or null.
    const Object* findObject(std::type_index type) const {
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            if (it->type == type) {
                return &*it;
            }
        }
        return nullptr;
    }

    /// The resolved foreground colour for the current scheme.
    Color::Rgba foregroundColor() const;
};

} // namespace qv::platform::ui
