#include "model/SystemVolume.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/system/OutputVolume.hpp"

namespace qv {

void setVolume(float level) {
    // The delay lets the key press that changed the volume finish before it is undone.
    platform::DispatchQueue::main().asyncAfter(platform::Seconds(0.3), [level] {
        platform::print("set volume");
        platform::OutputVolume::shared().setLevel(level);
    });
}

} // namespace qv
