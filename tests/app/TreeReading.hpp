#pragma once
// Reading a built tree as the tests of the app's screens read it.

#include "platform/ui/scene/ViewTree.hpp"

#include <string>
#include <vector>

namespace qv::testing {

// The text of the first Text inside the element tagged `tag` ("" when there is none).
std::string textIn(const platform::ui::ViewTree& tree, const std::string& tag);
// The symbol names inside the element tagged `tag`, in tree order.
std::vector<std::string> symbolsIn(const platform::ui::ViewTree& tree, const std::string& tag);

} // namespace qv::testing
