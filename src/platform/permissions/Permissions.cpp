#include "platform/permissions/Permissions.hpp"

#include "platform/console/Console.hpp"
#include "platform/console/FailureLines.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/files/AppFolders.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/files/SetAside.hpp"
#include "platform/formatting/QuotedText.hpp"
#include "platform/permissions/PermissionScript.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/system/OptionValue.hpp"

#include <array>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
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

// The statuses a file holds; why it cannot be used when it is corrupt.
std::optional<Statuses> parseFile(const std::string& text, std::string& problem) {
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_object()) {
        problem = parsed.is_discarded() ? "it is not valid JSON" : "it holds no object";
        return std::nullopt;
    }
    Statuses statuses = undetermined();
    for (const PermissionService service : kServices) {
        const auto entry = parsed.find(std::string(name(service)));
        if (entry == parsed.end()) {
            continue;
        }
        const std::optional<PermissionStatus> status =
            entry->is_string() ? statusNamed(entry->get<std::string>()) : std::nullopt;
        if (!status || !isValid(service, *status)) {
            problem = "its " + std::string(name(service)) + " entry is no status of it";
            return std::nullopt;
        }
        statuses[slot(service)] = *status;
    }
    return statuses;
}

// The answers are three short entries; a file far larger was not written by the app.
constexpr std::uintmax_t maximumFileBytes = 1 << 20;

Statuses load(const std::filesystem::path& file) {
    std::string text;
    std::string problem;
    if (const auto unread = readRegularFile(file, maximumFileBytes, text)) {
        if (unread->kind == FileProblem::Kind::missing) {
            return undetermined();
        }
        problem = "it " + unread->reason;
    } else if (std::optional<Statuses> statuses = parseFile(text, problem)) {
        return *statuses;
    }
    std::error_code error;
    const std::filesystem::path aside = setAside(file, error);
    print("The permissions file " + quotedPath(file) + " could not be read (" + problem + "); " +
          (error ? "it could not be moved aside (" + error.message() + ")"
                 : "moved it to " + quotedPath(aside)) +
          "; every permission is not determined");
    return undetermined();
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
    std::filesystem::path file;
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

    // Writes the answer for `service` into the file as it is now, under the lock beside it:
    // another app on the same home may have stored its own answers since this one read the
    // file, and they stay. Without a readable file, every status `stored` holds is written.
    void save(PermissionService service, Statuses statuses) const {
        const FileLock lock = lockForRewriting(file);
        std::string text;
        std::string problem;
        if (!readRegularFile(file, maximumFileBytes, text)) {
            if (const std::optional<Statuses> onDisk = parseFile(text, problem)) {
                const PermissionStatus answer = statuses[slot(service)];
                statuses = *onDisk;
                statuses[slot(service)] = answer;
            }
        }
        nlohmann::json json = nlohmann::json::object();
        for (const PermissionService each : kServices) {
            json[std::string(name(each))] = std::string(name(statuses[slot(each)]));
        }
        const std::string cause = "permissions save " + file.string();
        if (const std::error_code error = writeFileAtomically(file, json.dump(2) + "\n")) {
            printFailure(cause, "The permissions could not be saved to " + quotedPath(file) + ": " +
                                    error.message() + "; they hold for this run only");
            return;
        }
        failureRecovered(cause);
        reportWriteWithoutLock(lock, "The permissions", file);
    }

    // Stores `status` for `service` and, when `inForce`, makes it the status of this run.
    void record(const std::shared_ptr<State>& self, PermissionService service,
                PermissionStatus status, bool inForce) {
        Statuses statuses;
        {
            std::lock_guard lock(mutex);
            stored[slot(service)] = status;
            if (inForce) {
                current[slot(service)] = status;
            }
            statuses = stored;
        }
        save(service, statuses);
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
    static Permissions permissions(ensureFolder(AppFolders::fromEnvironment().configFolder()) /
                                       "permissions.json",
                                   configuredOptions());
    return permissions;
}

Permissions::Permissions(std::filesystem::path file, const PermissionOptions& options)
    : state_(std::make_shared<State>()) {
    state_->file = std::move(file);
    state_->stored = load(state_->file);
    state_->current = state_->stored;
    if (const std::optional<PermissionScript> script = scriptFrom(options)) {
        for (const auto& [service, status] : script->presets) {
            state_->current[slot(service)] = status;
        }
        state_->scriptedAnswer = script->allow;
    }
}

Permissions::~Permissions() = default;

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
