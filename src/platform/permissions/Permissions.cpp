#include "platform/permissions/Permissions.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/SharedJsonFile.hpp"
#include "platform/permissions/PermissionScript.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/system/OptionValue.hpp"

#include <array>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <variant>
#include <vector>

namespace qv::platform {

namespace {

constexpr std::array kServices{PermissionService::camera, PermissionService::photos,
                               PermissionService::location};

using Statuses = std::array<PermissionStatus, 3>;

std::size_t slot(PermissionService service) {
    return static_cast<std::size_t>(service);
}

Statuses undetermined() {
    return {PermissionStatus::notDetermined, PermissionStatus::notDetermined,
            PermissionStatus::notDetermined};
}

// The status each service has in the file's object: an entry of a service that names no
// status of it, or one another service names, makes the file one the app did not write.
std::variant<Statuses, std::string> statusesIn(const nlohmann::json& object) {
    Statuses statuses = undetermined();
    for (const PermissionService service : kServices) {
        const auto entry = object.find(std::string(name(service)));
        if (entry == object.end()) {
            continue;
        }
        const std::optional<PermissionStatus> status =
            entry->is_string() ? statusNamed(entry->get<std::string>()) : std::nullopt;
        if (!status || !isValid(service, *status)) {
            return "its " + std::string(name(service)) + " entry is no status of it";
        }
        statuses[slot(service)] = *status;
    }
    return statuses;
}

SharedJsonFile::Description permissionsFile() {
    // The answers are three short entries; a file far larger was not written by the app.
    return {.contents = "permissions",
            .instead = "every permission is not determined",
            .maximumBytes = 1 << 20,
            .maximumNesting = 32,
            .check = [](const nlohmann::json& object) -> std::optional<std::string> {
                auto statuses = statusesIn(object);
                if (auto* problem = std::get_if<std::string>(&statuses)) {
                    return std::move(*problem);
                }
                return std::nullopt;
            }};
}

std::optional<PermissionScript> scriptFrom(const PermissionOptions& options) {
    const std::optional<OptionValue> value =
        optionOrEnvironment(options.script, "--permissions", "QV_PERMISSIONS");
    if (!value) {
        return std::nullopt;
    }
    std::string error;
    std::optional<PermissionScript> script = PermissionScript::parse(value->text, error);
    if (!script) {
        print(value->source + " is ignored: " + error);
    }
    return script;
}

PermissionStatus grantFor(PermissionService service) {
    return service == PermissionService::location ? PermissionStatus::whenInUse
                                                  : PermissionStatus::authorized;
}

} // namespace

struct Permissions::State {
    explicit State(std::filesystem::path path) : file(std::move(path), permissionsFile()) {}

    SharedJsonFile file; // the stored statuses, written behind their changes
    std::optional<bool> scriptedAnswer;

    mutable std::mutex mutex; // guards the statuses: read anywhere, written on answers
    Statuses current = undetermined();
    Statuses stored = undetermined();

    // Main queue only.
    PromptPresenter presenter;
    std::map<PermissionService, std::vector<std::function<void(PermissionStatus)>>> waiting;

    Signal<PermissionService, PermissionStatus> changed;
    DispatchQueue answers{"permission answers", QoS::userInitiated};

    void deliver(std::function<void(PermissionStatus)> completion, PermissionStatus status) {
        if (completion) {
            answers.async([completion = std::move(completion), status] { completion(status); });
        }
    }

    // Stores `status` for `service` and, when `inForce`, makes it the status of this run.
    void record(const std::shared_ptr<State>& self, PermissionService service,
                PermissionStatus status, bool inForce) {
        {
            std::lock_guard lock(mutex);
            stored[slot(service)] = status;
            if (inForce) {
                current[slot(service)] = status;
            }
        }
        file.set(name(service), std::string(name(status)));
        if (inForce) {
            DispatchQueue::main().async(
                [self, service, status] { self->changed.send(service, status); });
        }
    }
};

namespace {

PermissionOptions& configuredOptions() {
    static PermissionOptions options;
    return options;
}

} // namespace

void Permissions::configure(PermissionOptions options) {
    configuredOptions() = std::move(options);
}

Permissions& Permissions::shared() {
    // Never destroyed, like the settings: the app's end flushes it (SharedJsonFile::flushAll).
    static Permissions* const permissions = new Permissions(
        ensureFolder(AppFolders::fromEnvironment().configFolder()) / "permissions.json",
        configuredOptions());
    return *permissions;
}

Permissions::Permissions(std::filesystem::path file, const PermissionOptions& options)
    : state_(std::make_shared<State>(std::move(file))) {
    state_->stored = state_->file.read([](const nlohmann::json& object) {
        auto statuses = statusesIn(object);
        return std::holds_alternative<Statuses>(statuses) ? std::get<Statuses>(statuses)
                                                          : undetermined();
    });
    state_->current = state_->stored;
    if (const std::optional<PermissionScript> script = scriptFrom(options)) {
        for (const auto& [service, status] : script->presets) {
            state_->current[slot(service)] = status;
        }
        state_->scriptedAnswer = script->allow;
    }
}

Permissions::~Permissions() = default;

void Permissions::flush() {
    state_->file.flush();
}

PermissionStatus Permissions::status(PermissionService service) const {
    std::lock_guard lock(state_->mutex);
    return state_->current[slot(service)];
}

PermissionStatus Permissions::storedStatus(PermissionService service) const {
    std::lock_guard lock(state_->mutex);
    return state_->stored[slot(service)];
}

void Permissions::request(PermissionService service,
                          std::function<void(PermissionStatus)> completion) {
    const PermissionStatus now = status(service);
    if (now != PermissionStatus::notDetermined) {
        state_->deliver(std::move(completion), now);
        return;
    }
    if (state_->scriptedAnswer) {
        const PermissionStatus answer =
            *state_->scriptedAnswer ? grantFor(service) : PermissionStatus::denied;
        state_->record(state_, service, answer, true);
        state_->deliver(std::move(completion), answer);
        return;
    }
    DispatchQueue::main().async(
        [state = state_, service, completion = std::move(completion)]() mutable {
            auto& waiting = state->waiting[service];
            waiting.push_back(std::move(completion));
            if (waiting.size() > 1) {
                return; // its prompt is open; the answer reaches every waiting request
            }
            const auto answered = [state, service](std::optional<bool> allow) {
                const PermissionStatus answer = !allow   ? PermissionStatus::notDetermined
                                                : *allow ? grantFor(service)
                                                         : PermissionStatus::denied;
                if (allow) {
                    state->record(state, service, answer, true);
                }
                for (auto& each : std::exchange(state->waiting[service], {})) {
                    state->deliver(std::move(each), answer);
                }
            };
            if (!state->presenter) {
                print("There is no window to ask for access to the " + std::string(name(service)) +
                      ": not granted");
                answered(std::nullopt);
                return;
            }
            state->presenter(promptFor(service), answered);
        });
}

void Permissions::changeInSettings(PermissionService service, PermissionStatus status) {
    if (isValid(service, status)) {
        state_->record(state_, service, status, service == PermissionService::location);
    }
}

Subscription
Permissions::observe(std::function<void(PermissionService, PermissionStatus)> observer) {
    return state_->changed.subscribe(std::move(observer));
}

void Permissions::setPromptPresenter(PromptPresenter presenter) {
    state_->presenter = std::move(presenter);
}

PermissionPrompt Permissions::promptFor(PermissionService service) {
    PermissionPrompt prompt;
    prompt.service = service;
    switch (service) {
    case PermissionService::camera:
        prompt.message = appName() + " would like to access the camera.";
        break;
    case PermissionService::photos:
        prompt.message = appName() + " would like to access your photo library.";
        break;
    case PermissionService::location:
        prompt.message = appName() + " would like to use your location while you use the app.";
        break;
    }
    return prompt;
}

} // namespace qv::platform
