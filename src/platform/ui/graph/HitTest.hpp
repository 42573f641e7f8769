#pragma once
// Which views a press at a screen point reaches, and the gestures it offers them.
//
// The press goes to the topmost view under the point, in drawing order, through every
// transform above it: text and images by their frame, shapes where they paint (a
// colour at opacity 0.01 counts, a clear one does not), any view inside its content
// shape; spacers and containers only through a content shape. Clip shapes, zero
// opacity and allowsHitTesting(false) keep it from a subtree. The gestures of that view
// and of its ancestors compete for it, the deepest first (GestureArena.hpp); views in
// a disabled subtree offer none.

#include "platform/input/GestureArena.hpp"
#include "platform/ui/scene/ViewTree.hpp"

#include <memory>
#include <vector>

namespace qv::platform::ui {

/// The elements a press at `point` (screen points) reaches, from the view hit up to
/// the root; empty when nothing takes it.
std::vector<const Element*> hitPath(const ViewTree& tree, Point point);
/// The gestures a press at `point` offers, as GestureArena expects them.
std::vector<input::GestureCandidate> gestureCandidates(const ViewTree& tree, Point point);
/// Scrolls the innermost scroll view under `point` that can scroll by `points` (positive:
/// towards the end of its content); false when none there can.
bool scrollByWheel(const ViewTree& tree, Point point, double points);

} // namespace qv::platform::ui
