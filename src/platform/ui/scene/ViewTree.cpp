#include "platform/ui/scene/ViewTree.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace qv::platform::ui {
namespace {
// The drawing order of alerts among the root's layers: above covers and content.
constexpr double kAlertLayerZIndex = 1e9;
constexpr double kSystemLayerZIndex = 2e9;
} // namespace

ViewTree::ViewTree(const View& view, SceneOptions options) : options_(std::move(options)) {
    // A graph's rebuild runs in the graph's session; a tree built alone has its own.
    detail::BuildSession own;
    detail::BuildSession* session = detail::BuildSession::current();
    std::optional<detail::SessionScope> scope;
    if (session == nullptr) {
        session = &own;
        scope.emplace(own);
    }
    retained_ = session->retained;
    auto env = std::make_shared<Environment>();
    env->colorScheme = options_.colorScheme;
    env->displayScale = options_.scale;
    ResolveContext ctx{"", env, nullptr};
    ElementList elements;
    detail::resolveView(view, ctx, elements);
    root_ = elements::root({"Root", "", env}, std::move(elements));
    layout();
    // Covers presented anywhere in the tree (also by content built during layout) lie
    // above everything, in the order presented; a cover may present another. Alerts lie
    // above every cover, the window's modal layer above all of them.
    for (std::size_t i = 0; i < session->rootLayers.size(); ++i) {
        const detail::RootLayer layer = session->rootLayers[i];
        ElementList built;
        detail::resolveView(layer.content, {layer.path, layer.environment, nullptr}, built);
        for (auto& e : built) {
            if (layer.level == detail::RootLayerLevel::alert) {
                e->setZIndex(kAlertLayerZIndex);
            } else if (layer.level == detail::RootLayerLevel::system) {
                e->setZIndex(kSystemLayerZIndex);
            }
            elements::placeRootLayer(*root_, std::move(e));
        }
    }
}

ViewTree::~ViewTree() = default;
ViewTree::ViewTree(ViewTree&&) noexcept = default;
ViewTree& ViewTree::operator=(ViewTree&&) noexcept = default;

void ViewTree::layout() {
    const EdgeInsets& in = options_.safeAreaInsets;
    Rect screen{0, 0, options_.size.width, options_.size.height};
    Rect safe{in.leading, in.top, std::max(0.0, screen.width - in.leading - in.trailing),
              std::max(0.0, screen.height - in.top - in.bottom)};
    // The tree is offered the safe area; views that ignore it reach out.
    root_->place(safe, {screen, safe, Transform{}, screen});
}

std::vector<const Element*> ViewTree::findAll(const Query& query) const {
    return ui::findAll(*root_, query);
}

const Element* ViewTree::find(const Query& query) const {
    auto all = findAll(query);
    return all.empty() ? nullptr : all.front();
}

const Element& ViewTree::get(const Query& query) const {
    if (const Element* e = find(query)) {
        return *e;
    }
    throw std::out_of_range("no view matches " + query.describe());
}

namespace {
struct Surface {
    cairo_surface_t* surface;
    ~Surface() { cairo_surface_destroy(surface); }
};

void paint(cairo_surface_t* surface, const Element& root, const SceneOptions& o,
           const std::vector<PixelRect>* only = nullptr) {
    cairo_t* cr = cairo_create(surface);
    if (only != nullptr) {
        for (const PixelRect& r : *only) {
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr);
    }
    // A tree whose first layer covers the screen opaquely replaces every pixel
    // anyway (a full-screen colour under the safe area, say).
    Rect pixels{0, 0, cairo_image_surface_get_width(surface) / o.scale,
                cairo_image_surface_get_height(surface) / o.scale};
    if (!root.paintsOpaque(pixels)) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        auto c = o.background.value_or(Color::clear()).resolved(o.colorScheme);
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    cairo_scale(cr, o.scale, o.scale);
    RenderContext context{cr, o.scale};
    if (only != nullptr) {
        context.partialClip = Rect{0, 0, double(cairo_image_surface_get_width(surface)),
                                   double(cairo_image_surface_get_height(surface))};
    }
    root.render(context);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

Surface draw(const Element& root, const SceneOptions& o) {
    int w = saturatingCast<int>(std::ceil(o.size.width * o.scale - 1e-9));
    int h = saturatingCast<int>(std::ceil(o.size.height * o.scale - 1e-9));
    Surface s{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1))};
    paint(s.surface, root, o);
    return s;
}
} // namespace

RenderedImage ViewTree::render() const {
    Surface s = draw(*root_, options_);
    RenderedImage img;
    img.width = cairo_image_surface_get_width(s.surface);
    img.height = cairo_image_surface_get_height(s.surface);
    int stride = cairo_image_surface_get_stride(s.surface);
    const unsigned char* data = cairo_image_surface_get_data(s.surface);
    img.pixels.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    for (int y = 0; y < img.height; ++y) {
        std::memcpy(img.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(img.width),
                    data + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(img.width) * 4);
    }
    return img;
}

void ViewTree::renderInto(std::uint32_t* pixels, int width, int height, int strideBytes) const {
    Surface s{cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                  CAIRO_FORMAT_ARGB32, width, height, strideBytes)};
    if (cairo_surface_status(s.surface) == CAIRO_STATUS_SUCCESS) {
        paint(s.surface, *root_, options_);
    }
}

void ViewTree::renderInto(std::uint32_t* pixels, int width, int height, int strideBytes,
                          const std::vector<PixelRect>& only) const {
    if (only.empty()) {
        return;
    }
    Surface s{cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                  CAIRO_FORMAT_ARGB32, width, height, strideBytes)};
    if (cairo_surface_status(s.surface) == CAIRO_STATUS_SUCCESS) {
        paint(s.surface, *root_, options_, &only);
    }
}

bool ViewTree::writePng(const std::string& path, std::string* error) const {
    Surface s = draw(*root_, options_);
    std::string temp = path + ".tmp";
    cairo_status_t status = cairo_surface_write_to_png(s.surface, temp.c_str());
    if (status == CAIRO_STATUS_SUCCESS && std::rename(temp.c_str(), path.c_str()) == 0) {
        return true;
    }
    std::string why =
        status != CAIRO_STATUS_SUCCESS ? cairo_status_to_string(status) : std::strerror(errno);
    std::remove(temp.c_str());
    if (error != nullptr) {
        *error = "cannot write " + path + ": " + why;
    }
    log("ui: cannot write " + path + ": " + why);
    return false;
}

} // namespace qv::platform::ui
