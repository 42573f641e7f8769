#pragma once
// Symbol images by name and the app's own drawn images. A symbol draws a glyph
// of the icon font where one fits, else a drawing of ours; an asset is always
// our drawing. Both are tinted with the colour they are drawn in.

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Geometry.hpp"

#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

/// Whether `name` is a symbol we can draw.
bool isKnownSymbol(const std::string& name);
bool isKnownAsset(const std::string& name);
/// Every symbol and asset name we draw, in a stable order.
std::vector<std::string> knownSymbolNames();
std::vector<std::string> knownAssetNames();
/// Whether the symbol comes from the icon font (false: our drawing, or unknown).
bool symbolUsesIconFont(const std::string& name);

/// Draw into `box` (a square works best); unknown names draw nothing.
void drawSymbol(cairo_t* cr, const std::string& name, const Rect& box, const Color::Rgba& color);
void drawAsset(cairo_t* cr, const std::string& name, const Rect& box, const Color::Rgba& color);

} // namespace qv::platform::ui
