#include "platform/system/LinkOpener.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/system/ProgramRunner.hpp"
#include "platform/system/detail/XdgTools.hpp"

namespace qv::platform {

namespace {

// Set and read on the main queue only.
std::function<void()>& settingsPageHandler() {
    static std::function<void()> handler;
    return handler;
}

bool isWebScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https";
}

// Prints a failure and hands the result on; on the main queue.
void report(const HandOffResult& result,
            const std::function<void(const HandOffResult&)>& completion) {
    if (!result.succeeded) {
        print(result.failure);
    }
    if (completion) {
        completion(result);
    }
}

// report() one turn of the main queue later, as an opening that ran a program does.
void reportLater(HandOffResult result, std::function<void(const HandOffResult&)> completion) {
    DispatchQueue::main().async([result = std::move(result), completion = std::move(completion)] {
        report(result, completion);
    });
}

} // namespace

bool canOpenURL(const Url& url) {
    if (url.string() == kSettingsAddress) {
        return true;
    }
    const std::string scheme = url.scheme();
    if (!findProgram("xdg-open")) {
        if (isWebScheme(scheme)) {
            print("Web pages cannot be opened: xdg-open is not installed");
        }
        return false;
    }
    return isWebScheme(scheme) || detail::hasSchemeHandler(scheme);
}

void openURL(const Url& url, std::function<void(const HandOffResult&)> completion) {
    if (url.string() == kSettingsAddress) {
        if (const auto& handler = settingsPageHandler()) {
            handler();
            reportLater({true, {}}, std::move(completion));
        } else {
            reportLater({false, "The settings page cannot be shown: the app has no window"},
                        std::move(completion));
        }
        return;
    }
    if (!findProgram("xdg-open")) {
        reportLater({false, "Cannot open " + url.string() + ": xdg-open is not installed"},
                    std::move(completion));
        return;
    }
    runProgram({"xdg-open", url.string()},
               [url, completion = std::move(completion)](const ProgramOutcome& outcome) mutable {
                   HandOffResult result = detail::handOffResult("xdg-open", outcome);
                   if (!result.succeeded) {
                       result.failure = "Cannot open " + url.string() + ": " + result.failure;
                   }
                   report(result, completion);
               });
}

void setSettingsPageHandler(std::function<void()> handler) {
    settingsPageHandler() = std::move(handler);
}

} // namespace qv::platform
