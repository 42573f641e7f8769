#include "platform/system/detail/XdgTools.hpp"

namespace qv::platform::detail {

bool hasSchemeHandler(const std::string& scheme) {
    const std::optional<std::string> handler =
        programOutput({"xdg-mime", "query", "default", "x-scheme-handler/" + scheme});
    return handler && handler->find_first_not_of(" \t\r\n") != std::string::npos;
}

HandOffResult handOffResult(const std::string& tool, const ProgramOutcome& outcome) {
    if (outcome.succeeded()) {
        return {true, {}};
    }
    if (outcome.kind != ProgramOutcome::Kind::exited) {
        return {false, tool + " " + outcome.description()};
    }
    // The exit statuses every xdg-utils program documents.
    const char* meaning = nullptr;
    switch (outcome.status) {
    case 1:
        meaning = "the command line was not understood";
        break;
    case 2:
        meaning = "a file it was given does not exist";
        break;
    case 3:
        meaning = "a program it needs could not be found";
        break;
    case 4:
        meaning = "the action failed";
        break;
    case 5:
        meaning = "a file it was given could not be read";
        break;
    default:
        return {false, tool + " " + outcome.description()};
    }
    return {false, tool + ": " + meaning + " (status " + std::to_string(outcome.status) + ")"};
}

} // namespace qv::platform::detail
