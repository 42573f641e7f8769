#include "platform/system/MailHandOff.hpp"

#include "StubPrograms.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace qv::platform {
namespace {

using testing::StubPrograms;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct HandOff {
    std::optional<HandOffResult> result;
    std::vector<std::string> arguments; // what xdg-email was given
};

HandOff handOff(VirtualDispatch& dispatch, StubPrograms& stubs, MailMessage message) {
    HandOff done;
    handOffMail(std::move(message), [&](const HandOffResult& r) { done.result = r; });
    dispatch.runUntilIdle();
    const auto runs = stubs.runs("xdg-email");
    if (!runs.empty()) {
        done.arguments = runs.back();
    }
    return done;
}

TEST(MailHandOff, CanSendMailNeedsXdgEmailAndAMailtoHandler) {
    StubPrograms stubs;
    stubs.add("xdg-email");
    stubs.add("xdg-mime", 0, "mail-program.desktop\n");
    EXPECT_TRUE(canSendMail());
    EXPECT_EQ(stubs.runs("xdg-mime")[0],
              (std::vector<std::string>{"query", "default", "x-scheme-handler/mailto"}));
    stubs.add("xdg-mime", 0, "\n");
    EXPECT_FALSE(canSendMail());
    stubs.add("xdg-mime", 0, "mail-program.desktop\n");
    stubs.remove("xdg-email");
    EXPECT_FALSE(canSendMail());
}

TEST(MailHandOff, RecipientsFormOneMailtoArgumentThatNoneCanTurnIntoAnOption) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-email");

    HandOff none = handOff(dispatch, stubs, {.subject = "Report", .body = "Hello"});
    ASSERT_TRUE(none.result);
    EXPECT_TRUE(none.result->succeeded);
    EXPECT_EQ(none.arguments, (std::vector<std::string>{"--utf8", "--subject", "Report", "--body",
                                                        "Hello", "mailto:"}));

    HandOff some = handOff(dispatch, stubs,
                           {.recipients = {"-x@example.org", "a b@example.org", "c@d?subject=e"}});
    EXPECT_EQ(some.arguments,
              (std::vector<std::string>{
                  "--utf8", "mailto:-x@example.org,a%20b@example.org,c@d%3Fsubject%3De"}));
}

TEST(MailHandOff, AttachmentsAreWrittenWithTheirBytesAndSafeNames) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-email");
    const std::string bytes("line 1\n\0binary", 14);

    HandOff done = handOff(dispatch, stubs,
                           {.subject = "s",
                            .attachments = {{bytes, "text/plain", "sysinfo.txt"},
                                            {"second", "text/plain", "../../escaped.txt"},
                                            {"third", "text/plain", "sysinfo.txt"}}});

    ASSERT_TRUE(done.result);
    EXPECT_TRUE(done.result->succeeded);
    ASSERT_EQ(done.arguments.size(), 10u);
    EXPECT_EQ(done.arguments[3], "--attach");
    const std::filesystem::path first = done.arguments[4];
    const std::filesystem::path second = done.arguments[6];
    const std::filesystem::path third = done.arguments[8];
    EXPECT_EQ(first.filename(), "sysinfo.txt");
    EXPECT_EQ(second.filename(), "escaped.txt");
    EXPECT_EQ(third.filename(), "sysinfo.txt");
    // Each file in a folder of its own inside the one attachment folder, still there after
    // the hand-off, for the mail program to read.
    const std::filesystem::path folder = first.parent_path().parent_path();
    EXPECT_EQ(second.parent_path().parent_path(), folder);
    EXPECT_NE(first.parent_path(), third.parent_path());
    EXPECT_EQ(contents(first), bytes);
    EXPECT_EQ(contents(second), "second");
    EXPECT_EQ(contents(third), "third");
    EXPECT_FALSE(std::filesystem::exists(folder.parent_path() / "escaped.txt"));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

TEST(MailHandOff, AFailingOrMissingXdgEmailIsAFailureWithItsReason) {
    VirtualDispatch dispatch;
    StubPrograms stubs;
    stubs.add("xdg-email", 3);
    HandOff failed = handOff(dispatch, stubs, {.subject = "s"});
    ASSERT_TRUE(failed.result);
    EXPECT_FALSE(failed.result->succeeded);
    EXPECT_EQ(failed.result->failure,
              "xdg-email: a program it needs could not be found (status 3)");

    stubs.remove("xdg-email");
    HandOff missing = handOff(dispatch, stubs, {.subject = "s"});
    ASSERT_TRUE(missing.result);
    EXPECT_FALSE(missing.result->succeeded);
    EXPECT_EQ(missing.result->failure, "xdg-email could not start: xdg-email was not found");
}

TEST(MailHandOff, AttachmentNamesAreReducedToASafeBaseName) {
    EXPECT_EQ(attachmentFileName("sysinfo.txt"), "sysinfo.txt");
    EXPECT_EQ(attachmentFileName("../x"), "x");
    EXPECT_EQ(attachmentFileName("a/b"), "b");
    EXPECT_EQ(attachmentFileName("-rf"), "-rf"); // handed over as a full path
    EXPECT_EQ(attachmentFileName("a\nb\x7f"), "ab");
    for (const char* empty : {"", ".", "..", "dir/", "/", "a/.."}) {
        EXPECT_EQ(attachmentFileName(empty), "attachment") << empty;
    }
    // 256 bytes, the last character two bytes long: cut before it, never through it.
    EXPECT_EQ(attachmentFileName(std::string(254, 'x') + "\xc3\xa9"), std::string(254, 'x'));
}

} // namespace
} // namespace qv::platform
