#include "platform/permissions/Permissions.hpp"

#include "StubPrograms.hpp"
#include "TestHome.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/RegularFile.hpp"
#include "platform/permissions/PermissionScript.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testing::EnvironmentOverride;

class PermissionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = testing::freshTestFolder();
        file = root / "permissions.json";
    }

    std::string fileText() const { return testing::contentOf(file); }

    // Asks for `service` and pumps until the answer arrived on the answers queue.
    PermissionStatus ask(Permissions& permissions, PermissionService service) {
        std::optional<PermissionStatus> answer;
        permissions.request(service, [&](PermissionStatus status) {
            EXPECT_FALSE(isMainThread());
            answer = status;
        });
        dispatch.runUntilIdle();
        EXPECT_TRUE(answer);
        return answer.value_or(PermissionStatus::restricted);
    }

    VirtualDispatch dispatch;
    EnvironmentOverride noScript{"QV_PERMISSIONS", std::nullopt};
    fs::path root;
    fs::path file;
};

TEST_F(PermissionsTest, ScriptedAnswersAreStoredAndSurviveTheNextStart) {
    {
        Permissions permissions(file, {"ask=allow"});
        EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::notDetermined);
        EXPECT_EQ(ask(permissions, PermissionService::camera), PermissionStatus::authorized);
        EXPECT_EQ(ask(permissions, PermissionService::location), PermissionStatus::whenInUse);
        EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::authorized);
    }
    {
        Permissions next(file, {"ask=deny"});
        EXPECT_EQ(next.status(PermissionService::camera), PermissionStatus::authorized);
        EXPECT_EQ(ask(next, PermissionService::camera),
                  PermissionStatus::authorized); // no question
        EXPECT_EQ(ask(next, PermissionService::photos), PermissionStatus::denied);
    }
    Permissions third(file, {});
    EXPECT_EQ(third.status(PermissionService::photos), PermissionStatus::denied);
    EXPECT_EQ(third.status(PermissionService::location), PermissionStatus::whenInUse);
    EXPECT_NE(fileText().find("\"camera\": \"authorized\""), std::string::npos);
}

TEST_F(PermissionsTest, WithoutWindowOrScriptNothingIsGrantedOrStored) {
    Permissions permissions(file, {});
    ConsoleCapture console;
    EXPECT_EQ(ask(permissions, PermissionService::camera), PermissionStatus::notDetermined);
    EXPECT_EQ(console.text(), "There is no window to ask for access to the camera: not granted\n");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::notDetermined);
}

TEST_F(PermissionsTest, ThePromptAsksOnceForRequestsThatMeetAndItsAnswerIsKept) {
    Permissions permissions(file, {});
    std::vector<PermissionPrompt> shown;
    Permissions::PromptAnswer answer;
    permissions.setPromptPresenter([&](const PermissionPrompt& prompt, auto reply) {
        EXPECT_TRUE(isMainThread());
        shown.push_back(prompt);
        answer = std::move(reply);
    });
    std::vector<PermissionStatus> answers;
    for (int i = 0; i < 2; ++i) {
        permissions.request(PermissionService::camera,
                            [&](PermissionStatus status) { answers.push_back(status); });
    }
    dispatch.runUntilIdle();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, "Quarn Vesil would like to access the camera.");
    EXPECT_EQ(shown[0].denyTitle, "Don't Allow");
    EXPECT_EQ(shown[0].allowTitle, "Allow");
    EXPECT_TRUE(answers.empty()); // modal: nothing until the user answers

    std::vector<std::pair<PermissionService, PermissionStatus>> changes;
    Subscription subscription =
        permissions.observe([&](PermissionService service, PermissionStatus status) {
            changes.emplace_back(service, status);
        });
    answer(false);
    dispatch.runUntilIdle();
    EXPECT_EQ(answers, (std::vector{PermissionStatus::denied, PermissionStatus::denied}));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(Permissions(file, {}).status(PermissionService::camera), PermissionStatus::denied);
}

TEST_F(PermissionsTest, PresetsHoldForTheRunOnlyAndTheFlagBeatsTheVariable) {
    EnvironmentOverride variable("QV_PERMISSIONS", "camera=denied,photos=limited");
    {
        Permissions fromVariable(file, {});
        EXPECT_EQ(fromVariable.status(PermissionService::camera), PermissionStatus::denied);
        EXPECT_EQ(fromVariable.status(PermissionService::photos), PermissionStatus::limited);
        EXPECT_EQ(rawValue(fromVariable.status(PermissionService::photos)), 4);
        EXPECT_EQ(fromVariable.storedStatus(PermissionService::photos),
                  PermissionStatus::notDetermined);
    }
    Permissions fromFlag(file, {"location=always"});
    EXPECT_EQ(fromFlag.status(PermissionService::camera), PermissionStatus::notDetermined);
    EXPECT_EQ(fromFlag.status(PermissionService::location), PermissionStatus::always);
    EXPECT_FALSE(fs::exists(file));

    ConsoleCapture console;
    Permissions malformed(file, {"camera=limited"});
    EXPECT_EQ(malformed.status(PermissionService::camera), PermissionStatus::notDetermined);
    EXPECT_EQ(console.text(), "--permissions is ignored: 'camera=limited': camera knows "
                              "notDetermined, restricted, denied, authorized\n");
}

TEST_F(PermissionsTest, ACorruptFileIsSetAsideAndEveryServiceReadsNotDetermined) {
    for (const char* text : {"{not json", "[1]", "{\"camera\": \"always\"}", "{\"photos\": 3}"}) {
        std::ofstream(file) << text;
        ConsoleCapture console;
        Permissions permissions(file, {});
        for (const auto service :
             {PermissionService::camera, PermissionService::photos, PermissionService::location}) {
            EXPECT_EQ(permissions.status(service), PermissionStatus::notDetermined) << text;
        }
        EXPECT_FALSE(fs::exists(file)) << text;
        const std::string printed = console.text();
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << text;
        EXPECT_NE(printed.find("moved it to '" + file.string() + ".corrupt_"), std::string::npos);
    }
    // Four files set aside in one virtual second, none replacing another, and the lock they
    // were set aside under.
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 5);
}

TEST_F(PermissionsTest, TwoAppsOnOneHomeKeepEachOthersAnswers) {
    Permissions first(file, {}); // both read the file before either answers
    const pid_t child = ::fork();
    if (child == 0) {
        {
            Permissions second(file, {});
            second.changeInSettings(PermissionService::camera, PermissionStatus::authorized);
        } // written as it goes: _exit skips destructors
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    first.changeInSettings(PermissionService::photos, PermissionStatus::limited);
    dispatch.runUntilIdle(); // the permissions' writes queue
    const Permissions next(file, {});
    EXPECT_EQ(next.status(PermissionService::camera), PermissionStatus::authorized);
    EXPECT_EQ(next.status(PermissionService::photos), PermissionStatus::limited);
}

TEST_F(PermissionsTest, SpecialAndHugeFilesAreSetAsideUnreadWithWhatTheyAre) {
    const std::vector<std::pair<std::function<void()>, std::string>> cases{
        {[&] { ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0); }, "it is a FIFO, not a regular file"},
        {[&] { fs::create_symlink("/dev/zero", file); },
         "it is a link to '/dev/zero', which is a character device, not a regular file"},
        {[&] { fs::create_directory(file); }, "it is a folder, not a regular file"},
        {[&] {
             std::ofstream(file) << "{}"; // 3 GB, sparse: nothing is read or allocated for it
             ASSERT_EQ(::truncate(file.c_str(), 3LL << 30), 0);
         },
         "it is larger than 1 MB"},
        {[&] { std::ofstream(file) << "{" << std::string(2 << 20, ' ') << "}"; },
         "it is larger than 1 MB"},
    };
    for (const auto& [make, reason] : cases) {
        SCOPED_TRACE(reason);
        fs::remove_all(root);
        fs::create_directories(root);
        make();
        ConsoleCapture console;
        Permissions permissions(file, {"ask=allow"});
        EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::notDetermined);
        const std::string printed = console.text();
        EXPECT_EQ(printed,
                  "The permissions file '" + file.string() + "' could not be read (" + reason +
                      "); moved it to '" + file.string() +
                      ".corrupt_20240101_000000' and every permission is not determined\n");
        // The next answer is stored in a file of its own.
        EXPECT_EQ(ask(permissions, PermissionService::camera), PermissionStatus::authorized);
        EXPECT_EQ(Permissions(file, {}).status(PermissionService::camera),
                  PermissionStatus::authorized);
    }
}

TEST_F(PermissionsTest, AFileThatCannotBeReadNowIsLeftAsItIsAndNoAnswerOfTheRunIsStored) {
    const std::string stored = "{\"camera\": \"denied\", \"photos\": \"limited\"}";
    for (const int error : {EACCES, EIO, EMFILE, ENFILE, ENOMEM}) {
        SCOPED_TRACE(std::strerror(error));
        std::ofstream(file) << stored;
        {
            const ScopedReadFailure failing(file, error);
            ConsoleCapture console;
            Permissions permissions(file, {"ask=allow"});
            EXPECT_EQ(permissions.status(PermissionService::camera),
                      PermissionStatus::notDetermined);
            EXPECT_EQ(ask(permissions, PermissionService::camera), PermissionStatus::authorized);
            permissions.flush();
            const std::string reason = "cannot be read (" + std::string(std::strerror(error)) + ")";
            EXPECT_EQ(console.text(),
                      "The permissions file '" + file.string() + "' " + reason +
                          " now; every permission is not determined for this run, and the file "
                          "is left as it is to be read again at the next start\n"
                          "The permissions are not saved to '" +
                          file.string() + "' in this run: it " + reason + " at the start\n");
        }
        EXPECT_EQ(fileText(), stored);
        EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
        const Permissions next(file, {});
        EXPECT_EQ(next.status(PermissionService::camera), PermissionStatus::denied);
        EXPECT_EQ(next.status(PermissionService::photos), PermissionStatus::limited);
        fs::remove(file);
    }
}

// The permissions' write reads, merges and writes as the settings' does: a file another
// program damaged since the start is kept aside, never written over.
TEST_F(PermissionsTest, AFileDamagedSinceTheStartIsSetAsideByTheNextAnswer) {
    Permissions permissions(file, {});
    std::ofstream(file) << "{\"camera\": \"authorized\", ";
    ConsoleCapture console;
    permissions.changeInSettings(PermissionService::photos, PermissionStatus::limited);
    dispatch.runUntilIdle();
    std::ifstream aside(file.string() + ".corrupt_20240101_000000");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}),
              "{\"camera\": \"authorized\", ");
    EXPECT_EQ(console.text(), "The permissions file '" + file.string() +
                                  "' could not be read (it is not valid JSON); moved it to '" +
                                  file.string() +
                                  ".corrupt_20240101_000000'; the app keeps the permissions it "
                                  "has\n");
    EXPECT_EQ(Permissions(file, {}).status(PermissionService::photos), PermissionStatus::limited);
}

// Answers kept as a link into another folder: the link stays and its target gets the answer.
TEST_F(PermissionsTest, AFileKeptAsALinkStaysOneAndItsTargetGetsTheAnswers) {
    const fs::path dotfiles = root / "dotfiles";
    fs::create_directories(dotfiles);
    std::ofstream(dotfiles / "answers.json") << "{\"camera\": \"denied\"}";
    fs::create_symlink("dotfiles/answers.json", file);
    Permissions permissions(file, {});
    EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::denied);
    permissions.changeInSettings(PermissionService::photos, PermissionStatus::limited);
    dispatch.runUntilIdle();
    ASSERT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::read_symlink(file), "dotfiles/answers.json");
    EXPECT_EQ(testing::contentOf(dotfiles / "answers.json"),
              "{\n  \"camera\": \"denied\",\n  \"photos\": \"limited\"\n}\n");
    EXPECT_EQ(testing::namesIn(dotfiles), std::vector<std::string>{"answers.json"});

    // A target that is gone is made again through the link, with every answer.
    fs::remove(dotfiles / "answers.json");
    ConsoleCapture console;
    permissions.changeInSettings(PermissionService::camera, PermissionStatus::authorized);
    dispatch.runUntilIdle();
    ASSERT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(testing::contentOf(dotfiles / "answers.json"),
              "{\n  \"camera\": \"authorized\",\n  \"photos\": \"limited\"\n}\n");
    EXPECT_EQ(console.text(), "");
}

// On a file system without locks an answer is merged into the file as it is, under the lock
// folder "permissions.json.lockdir" instead of the lock file's flock.
TEST_F(PermissionsTest, WithoutLocksAnAnswerIsMergedAndSavedUnderTheLockFolder) {
    file = testing::freshRunFolder() / "permissions.json"; // the line is said once a path
    std::ofstream(file) << "{\"camera\": \"denied\"}";
    const ScopedLockFailure noLocks(ENOLCK);
    Permissions permissions(file, {});
    std::ofstream(file)
        << "{\"camera\": \"denied\", \"location\": \"always\"}"; // another process's
    ConsoleCapture console;
    permissions.changeInSettings(PermissionService::photos, PermissionStatus::limited);
    dispatch.runUntilIdle();
    permissions.changeInSettings(PermissionService::camera, PermissionStatus::authorized);
    dispatch.runUntilIdle();
    EXPECT_EQ(fileText(), "{\n  \"camera\": \"authorized\",\n  \"location\": \"always\",\n  "
                          "\"photos\": \"limited\"\n}\n");
    EXPECT_EQ(console.text(), "");
    EXPECT_FALSE(fs::exists(file.string() + ".lockdir")); // given back after each write
}

TEST_F(PermissionsTest, AnAnswerHoldsAtOnceAndIsWrittenBehindTheCaller) {
    Permissions permissions(file, {});
    permissions.changeInSettings(PermissionService::camera, PermissionStatus::denied);
    permissions.changeInSettings(PermissionService::photos, PermissionStatus::authorized);
    EXPECT_EQ(permissions.storedStatus(PermissionService::camera), PermissionStatus::denied);
    EXPECT_FALSE(fs::exists(file)); // on the permissions' own queue, not the caller's thread
    dispatch.runUntilIdle();
    const Permissions next(file, {});
    EXPECT_EQ(next.status(PermissionService::camera), PermissionStatus::denied);
    EXPECT_EQ(next.status(PermissionService::photos), PermissionStatus::authorized);
}

TEST_F(PermissionsTest, SettingsChangesCountAtOnceForTheLocationAndAtTheNextStartOtherwise) {
    Permissions permissions(file, {"camera=authorized,location=whenInUse"});
    std::vector<std::pair<PermissionService, PermissionStatus>> changes;
    Subscription subscription =
        permissions.observe([&](PermissionService service, PermissionStatus status) {
            changes.emplace_back(service, status);
        });

    permissions.changeInSettings(PermissionService::camera, PermissionStatus::denied);
    permissions.changeInSettings(PermissionService::location, PermissionStatus::denied);
    permissions.changeInSettings(PermissionService::photos, PermissionStatus::always); // unknown
    dispatch.runUntilIdle();

    EXPECT_EQ(permissions.status(PermissionService::camera), PermissionStatus::authorized);
    EXPECT_EQ(permissions.storedStatus(PermissionService::camera), PermissionStatus::denied);
    EXPECT_EQ(permissions.status(PermissionService::location), PermissionStatus::denied);
    EXPECT_EQ(permissions.storedStatus(PermissionService::photos), PermissionStatus::notDetermined);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], std::pair(PermissionService::location, PermissionStatus::denied));
    EXPECT_EQ(Permissions(file, {}).status(PermissionService::camera), PermissionStatus::denied);
}

TEST(PermissionScript, SaysWhatIsWrongWithAMalformedScript) {
    std::string error;
    const auto script = PermissionScript::parse("camera=authorized,photos=limited,ask=deny", error);
    ASSERT_TRUE(script);
    EXPECT_EQ(script->presets.at(PermissionService::photos), PermissionStatus::limited);
    EXPECT_EQ(script->allow, false);
    EXPECT_TRUE(PermissionScript::parse("", error));
    const std::pair<const char*, const char*> cases[] = {
        {"camera", "'camera' is not of the form service=status"},
        {"microphone=denied", "'microphone=denied': the services are camera, photos and location"},
        {"camera=denied,camera=denied", "'camera=denied': camera is given twice"},
        {"ask=maybe", "'ask=maybe': ask is given once, as allow or deny"},
        {"location=authorized",
         "'location=authorized': location knows notDetermined, restricted, denied, always, "
         "whenInUse"},
        {"camera=authorized,", "'' is not of the form service=status"},
        {"camera\n=denied", "'camera\\n=denied': the services are camera, photos and location"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_FALSE(PermissionScript::parse(text, error)) << text;
        EXPECT_EQ(error, expected);
    }
}

} // namespace
} // namespace qv::platform
