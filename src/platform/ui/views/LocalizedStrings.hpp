#pragma once
// The app's strings table. The texts of controls and notices are localization keys:
// a key is shown as its entry in the table, and a key without an entry reads as
// itself ("Total Time" is its own English text). Values built at run time (durations,
// counts, ISO and shutter values) are shown verbatim and never looked up.
//
//     Text("Continue")                        // a literal is a key
//     Text(LocalizedStringKey{row.label})     // a key held in a variable
//     Text(formatPositionalDuration(60))      // a std::string is shown as it is
//     localizedString("off")                  // "Off", for texts built from keys

#include <string>
#include <string_view>

namespace qv::platform::ui {

/// A text to look up in the strings table when the view is built.
struct LocalizedStringKey {
    std::string key;
};

/// The English text of `key`; the key itself when the table has no entry for it.
std::string localizedString(std::string_view key);

} // namespace qv::platform::ui
