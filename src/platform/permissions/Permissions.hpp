#pragma once
// The user's answers on the camera, the photo library and the location: read at start,
// asked for through a prompt the window host shows, kept in "permissions.json" in the
// config folder, shared with other processes of the same home and written behind each
// answer on a queue of its own, as files/SharedJsonFile.hpp says: a file proven bad
// (corrupt, an entry no status of its service, over 1 MB, or not a regular file: a FIFO, a
// device, a folder, a link that leads to no regular file, never opened in a way that could
// block) is set aside with one line and every service reads notDetermined (found while the
// app runs: set aside at the next answer, and the statuses in force stay); a file that cannot
// be read now is left as it is, every service reads notDetermined for this run and no answer
// of it is stored; a failed save says so once per reason. A file kept as a symbolic link
// stays one: its target is written in its own folder.
//
// As on the phone, the camera's and the photo library's statuses are fixed for the run
// once known: a change in the settings panel counts from the next start. The location's
// changes count at once. A run may be scripted instead (PermissionScript.hpp): presets
// replace the stored statuses for that run (they are not stored), and a scripted answer
// replaces the prompt (it is stored, as the user's would be).
//
// Threads: statuses may be read from any thread. Prompts are shown on the main queue;
// completions run on a serial queue of the permissions ("permission answers"), observers on
// the main queue.

#include "platform/permissions/PermissionStatus.hpp"
#include "platform/state/Signal.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

// What the window host shows when the app asks for a service.
struct PermissionPrompt {
    PermissionService service = PermissionService::camera;
    std::string message; // "Quarn Vesil would like to access the camera."
    std::string denyTitle = "Don't Allow";
    std::string allowTitle = "Allow";
};

struct PermissionOptions {
    // The --permissions value; without one QV_PERMISSIONS is read. A malformed value prints
    // one line and counts as none.
    std::optional<std::string> script;
};

class Permissions {
public:
    // Shows `prompt` and calls `answer` once on the main queue with the user's choice, or
    // with nothing when the prompt went away unanswered (the window closed): then nothing
    // is granted or stored.
    using PromptAnswer = std::function<void(std::optional<bool> allow)>;
    using PromptPresenter =
        std::function<void(const PermissionPrompt& prompt, PromptAnswer answer)>;

    // The app's permissions, in the config folder, made on first use with the options
    // given to configure() before it (the app's command line); never destroyed (the app's
    // end flushes its writes: SharedJsonFile::flushAll).
    static Permissions& shared();
    static void configure(PermissionOptions options);

    Permissions(std::filesystem::path file, const PermissionOptions& options);
    ~Permissions();
    Permissions(const Permissions&) = delete;
    Permissions& operator=(const Permissions&) = delete;

    // The status in force in this run.
    PermissionStatus status(PermissionService service) const;
    // The stored status: what the settings panel shows and the next start reads.
    PermissionStatus storedStatus(PermissionService service) const;

    // The status once the user has been asked. A service that is not notDetermined gets its
    // status without a question. Otherwise the scripted answer, or else a prompt, decides:
    // allowing gives authorized (whenInUse for the location), refusing denied, and the
    // answer is stored. With neither script nor prompt presenter, one line says that there
    // is no window to ask in, nothing is stored, and the completion gets notDetermined.
    // Requests for a service whose prompt is open share its answer.
    void request(PermissionService service, std::function<void(PermissionStatus)> completion);

    // A change made in the settings panel: stored; in force at once for the location, from
    // the next start for the camera and the photo library. A status the service does not
    // know is ignored.
    void changeInSettings(PermissionService service, PermissionStatus status);

    // Writes the stored statuses not written yet, on the calling thread, before returning.
    void flush();

    // Called on the main queue after each change of a status in force.
    [[nodiscard]] Subscription
    observe(std::function<void(PermissionService, PermissionStatus)> observer);

    // The window host's prompt; an empty function: none (no window). Set on the main queue.
    void setPromptPresenter(PromptPresenter presenter);

    static PermissionPrompt promptFor(PermissionService service);

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace qv::platform
