#include "components/BaseGeometryReader.hpp"

#include "platform/console/Console.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View BaseGeometryReader::body() const {
    const auto binding = baseGeometryProxy;
    const auto build = content;
    return GeometryReader([binding, build](const GeometryProxy& g) {
        const BaseGeometry measured{g.size, g.safeAreaInsets, metrics::cameraAspectRatio};
        return ZStack({build ? build() : View()}).onAppear([binding, measured] {
            binding.set(measured);
            platform::print("BaseGeometryReader:\n");
            platform::print(binding.get());
        });
    });
}

} // namespace qv
