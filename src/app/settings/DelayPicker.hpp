#pragma once
// The release delay, as segments tagged with their Delay: "Off" (the strings table's text
// for "off"), "2s", "5s", "10s", bound to the "delay" setting. A stored 2 selects "2s"; a
// tap on "10s" stores 10.

#include "model/Enumerations.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <string>
#include <vector>

namespace qv {

struct DelayPicker {
    platform::Binding<Delay> selection;
    std::vector<Delay> delays; // the segments, in this order

    /// A segment's text: the looked-up "off", else the seconds and "s".
    static std::string segmentText(Delay delay);
    /// Tagged "delay picker".
    platform::ui::View body() const;
};

} // namespace qv
