#include "TreeReading.hpp"

#include "platform/ui/scene/Query.hpp"

namespace qv::testing {

using namespace platform::ui;

std::string textIn(const ViewTree& tree, const std::string& tag) {
    const Element* tagged = tree.find(Query::tag(tag));
    if (tagged == nullptr) {
        return "";
    }
    const auto texts = findAll(*tagged, Query::kind("Text"));
    return texts.empty() ? "" : texts.front()->text();
}

std::vector<std::string> symbolsIn(const ViewTree& tree, const std::string& tag) {
    std::vector<std::string> names;
    const Element* tagged = tree.find(Query::tag(tag));
    if (tagged == nullptr) {
        return names;
    }
    for (const Element* image : findAll(*tagged, Query::kind("Image"))) {
        names.push_back(image->symbolName());
    }
    return names;
}

} // namespace qv::testing
