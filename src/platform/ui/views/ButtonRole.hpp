#pragma once
// What a button does, as far as its look goes: a cancel button reads bolder in an
// alert, a destructive one is red.

namespace qv::platform::ui {

enum class ButtonRole { none, cancel, destructive };

} // namespace qv::platform::ui
