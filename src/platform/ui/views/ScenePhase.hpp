#pragma once
// The app's scene phase, as views read it from the environment.

namespace qv::platform::ui {

/// active: shown and receiving input; inactive: shown without input (the window lost the
/// focus); background: not shown (minimised or hidden).
enum class ScenePhase { active, inactive, background };

} // namespace qv::platform::ui
