#pragma once
// Internal: what the link and mail hand-offs share of the desktop's xdg-utils.

#include "platform/system/HandOffResult.hpp"
#include "platform/system/ProgramRunner.hpp"

#include <string>

namespace qv::platform::detail {

// Whether `xdg-mime query default x-scheme-handler/<scheme>` names a desktop handler.
bool hasSchemeHandler(const std::string& scheme);

// The result of an xdg-utils program's run; a failure says in words what its documented
// exit status means ("xdg-open: the action failed (status 4)").
HandOffResult handOffResult(const std::string& tool, const ProgramOutcome& outcome);

} // namespace qv::platform::detail
