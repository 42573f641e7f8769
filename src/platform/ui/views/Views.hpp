#pragma once
// The built-in views: containers, conditionals and lists, and leaves.

#include "platform/media/RgbaImage.hpp"
#include "platform/ui/drawing/Bitmap.hpp"
#include "platform/ui/views/LocalizedStrings.hpp"
#include "platform/ui/views/View.hpp"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform::ui {

// ---- Containers -------------------------------------------------------------

/// Children top to bottom; `alignment` places them across; spacing defaults to 8.
View VStack(std::vector<View> children, HorizontalAlignment alignment = HorizontalAlignment::center,
            std::optional<double> spacing = std::nullopt);
/// Children leading to trailing.
View HStack(std::vector<View> children, VerticalAlignment alignment = VerticalAlignment::center,
            std::optional<double> spacing = std::nullopt);
/// Children on top of each other, later ones above.
View ZStack(std::vector<View> children, Alignment alignment = {});
/// Flexible space along the enclosing stack's axis (both axes elsewhere).
View Spacer(double minLength = 0);

/// What a geometry reader's content knows of the space it was given.
struct GeometryProxy {
    Size size;
    EdgeInsets safeAreaInsets;
    /// The reader's frame in screen coordinates (before drawing effects).
    Rect globalFrame;
};
/// Takes all it is offered and places its content at the top-leading corner.
View GeometryReader(std::function<View(const GeometryProxy&)> content);

/// Several views that a container lays out as its own children.
View Group(std::vector<View> children);
/// `content` when `condition` holds, else nothing. The two cases have distinct identities.
View If(bool condition, const std::function<View()>& content);
View IfElse(bool condition, const std::function<View()>& then,
            const std::function<View()>& otherwise);
namespace detail {
View keyedGroup(std::vector<std::pair<std::string, View>> views);
}
/// One view per index; each is identified by its index.
View ForEach(int count, const std::function<View(int)>& content);
/// One view per item, identified by `key(item)` (a string).
template <class Range, class Key, class Content>
View ForEach(const Range& items, Key key, Content content) {
    std::vector<std::pair<std::string, View>> views;
    for (const auto& item : items) {
        views.emplace_back(key(item), View(content(item)));
    }
    return detail::keyedGroup(std::move(views));
}

// ---- Leaves -------------------------------------------------------------------

/// Text in the current font, colour and text options. A string literal or a
/// LocalizedStringKey is a key of the app's strings table (LocalizedStrings.hpp),
/// looked up when the view is built; a std::string is shown as it is.
View Text(const char* key);
View Text(const LocalizedStringKey& key);
View Text(std::string verbatim);

/// An image: a symbol by name, an asset by name, or a bitmap.
class Image : public View {
public:
    /// A symbol from the icon font (with drawn fallbacks), sized by the current font.
    static Image system(const std::string& name);
    /// One of the app's own drawn images ("histogram", "IGglyph"), tinted by the foreground.
    static Image named(const std::string& name);
    explicit Image(Bitmap bitmap);
    /// A picture of the media layer (ImageBitmaps.hpp): its size in points is its
    /// upright size over its scale ("right": the stored height by width). It is
    /// converted to a bitmap once per image object, however often the view is rebuilt;
    /// a null image shows nothing and takes no space.
    explicit Image(std::shared_ptr<const RgbaImage> image);

    /// Lets the image take any size it is offered and stretch into it.
    Image resizable() const;

    enum class Kind { symbol, asset, bitmap };

private:
    Image(Kind kind, std::string name, Bitmap bitmap, std::shared_ptr<const RgbaImage> media,
          bool resizable);
    Kind kind_;
    std::string name_;
    Bitmap bitmap_;
    std::shared_ptr<const RgbaImage> media_;
};

/// A shape as a view: filled with the foreground style unless told otherwise.
/// It takes all the space it is offered.
class ShapeView : public View {
public:
    explicit ShapeView(Shape shape);
    operator Shape() const { return shape_; } // NOLINT: shapes clip and outline views

    View fill(const ShapeStyle& style) const;
    View stroke(const ShapeStyle& style, const StrokeStyle& stroke = {}) const;
    View stroke(const ShapeStyle& style, double lineWidth) const;
    ShapeView trim(double from, double to) const;
    ShapeView inset(double amount) const;

private:
    Shape shape_;
};

ShapeView Rectangle();
ShapeView RoundedRectangle(double cornerRadius,
                           RoundedCornerStyle style = RoundedCornerStyle::circular);
ShapeView RoundedRectangle(Size cornerSize,
                           RoundedCornerStyle style = RoundedCornerStyle::circular);
ShapeView Circle();
ShapeView Capsule();
/// A custom shape: `path` draws it into the rectangle it is given.
ShapeView PathShape(std::function<Path(const Rect&)> path);

} // namespace qv::platform::ui
