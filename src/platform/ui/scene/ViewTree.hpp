#pragma once
// A scene: a view tree built, laid out for a screen size with safe-area insets,
// and ready to draw at a scale factor or to be queried.
//
//     SceneOptions options;
//     options.safeAreaInsets = {47, 0, 34, 0};
//     ViewTree tree(CameraScreen{}, options);
//     const Element& gear = tree.get(Query::symbol("gear"));
//     EXPECT_NEAR(gear.screenFrame().maxX(), 374, 0.5);
//     tree.writePng("/tmp/screen.png");

#include "platform/ui/scene/Query.hpp"
#include "platform/ui/views/Element.hpp"
#include "platform/ui/views/View.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace qv::platform::ui {

struct SceneOptions {
    Size size{390, 844};
    EdgeInsets safeAreaInsets{};
    double scale = 3; // pixels per point
    ColorScheme colorScheme = ColorScheme::dark;
    /// Painted under the tree; absent leaves the image transparent.
    std::optional<Color> background = Color::systemBackground();
    friend bool operator==(const SceneOptions&, const SceneOptions&) = default;
};

/// Pixels of a rendered scene: premultiplied ARGB32, native byte order.
struct RenderedImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

class ViewTree {
public:
    ViewTree(const View& view, SceneOptions options = {});
    ~ViewTree();
    ViewTree(ViewTree&&) noexcept;
    ViewTree& operator=(ViewTree&&) noexcept;

    const SceneOptions& options() const { return options_; }
    const Element& root() const { return *root_; }

    /// Matching elements in drawing order of the tree (parents before children).
    std::vector<const Element*> findAll(const Query& query) const;
    /// The first match, or null.
    const Element* find(const Query& query) const;
    /// The first match; throws std::out_of_range when there is none.
    const Element& get(const Query& query) const;

    RenderedImage render() const;
    /// Draws into a caller's buffer of premultiplied ARGB32 pixels (a window's
    /// frame buffer), `width` x `height` pixels with `strideBytes` per row.
    void renderInto(std::uint32_t* pixels, int width, int height, int strideBytes) const;
    /// Draws only within `only` (rectangles of the buffer's pixels), leaving the other
    /// pixels as they are: within them, the pixels are those the whole drawing gives.
    void renderInto(std::uint32_t* pixels, int width, int height, int strideBytes,
                    const std::vector<PixelRect>& only) const;
    /// Writes the rendering as PNG through a temporary file renamed into place;
    /// on failure `path` is untouched and `error` tells why.
    bool writePng(const std::string& path, std::string* error = nullptr) const;

private:
    void layout();
    SceneOptions options_;
    std::unique_ptr<Element> root_;
    // The view values of the build: the handlers held by the elements may refer to them.
    std::shared_ptr<const void> retained_;
};

} // namespace qv::platform::ui
