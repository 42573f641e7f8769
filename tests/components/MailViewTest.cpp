#include "components/MailView.hpp"

#include "ComponentTesting.hpp"
#include "StubPrograms.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A host that presents MailView in a full-screen cover, with stub desktop programs: a
// mail program is set up unless the test removes xdg-email.
struct MailScreen {
    explicit MailScreen(MailData mail, int exitStatus = 0, bool withCallback = true)
        : data{std::move(mail)}, withCallback_(withCallback) {
        stubs.add("xdg-email", exitStatus);
        stubs.add("xdg-mime", 0, "mail-program.desktop\n");
    }
    testing::StubPrograms stubs;
    testing::Bound<MailData> data;
    testing::Bound<bool> presented{true};
    std::vector<MailResult> results;
    VirtualDispatch dispatch;
    ViewGraph graph{[this] { return view(); }, testing::phone()};
    SyntheticInput input{graph, dispatch};

    View view() {
        std::function<void(const MailResult&)> callback;
        if (withCallback_) {
            callback = [this](const MailResult& r) { results.push_back(r); };
        }
        return Text("Settings").fullScreenCover(presented.binding(), [this, callback] {
            return View(MailView{data.binding(), callback});
        });
    }
    // Shows the view and lets the hand-off run to its end.
    void run() {
        graph.settle();
        dispatch.runUntilIdle();
        graph.invalidate();
        graph.settle();
    }
    std::vector<std::string> arguments() const {
        const auto runs = stubs.runs("xdg-email");
        return runs.empty() ? std::vector<std::string>{} : runs.back();
    }

private:
    bool withCallback_;
};

TEST(MailView, RecipientsGoIntoOneMailtoArgumentAbsentOrPresentOrLikeAnOption) {
    MailScreen none({.subject = "Report", .message = "Hello"});
    none.run();
    EXPECT_EQ(none.arguments(), (std::vector<std::string>{"--utf8", "--subject", "Report", "--body",
                                                          "Hello", "mailto:"}));

    MailScreen some(
        {.subject = "s", .recipients = std::vector<std::string>{"a@b.org", "-x@c.org"}});
    some.run();
    EXPECT_EQ(some.arguments(),
              (std::vector<std::string>{"--utf8", "--subject", "s", "mailto:a@b.org,-x@c.org"}));
}

TEST(MailView, AttachmentsAreHandedOverAsFilesWithTheirBytesInsideTheAttachmentFolder) {
    MailScreen none({.subject = "s", .attachments = std::vector<AttachmentData>{}});
    none.run();
    EXPECT_EQ(none.arguments(), (std::vector<std::string>{"--utf8", "--subject", "s", "mailto:"}));

    const AttachmentData report = AttachmentData::fromText("model: phone\n");
    EXPECT_EQ(report.mimeType, "text/plain");
    EXPECT_EQ(report.fileName, "sysinfo.txt");
    MailScreen two({.subject = "s",
                    .attachments = std::vector<AttachmentData>{
                        report, {std::string("\0\x01png", 5), "image/png", "../../x.png"}}});
    two.run();
    const auto args = two.arguments();
    ASSERT_EQ(args.size(), 8u);
    EXPECT_EQ(args[3], "--attach");
    const std::filesystem::path first = args[4], second = args[6];
    EXPECT_EQ(first.filename(), "sysinfo.txt");
    EXPECT_EQ(contents(first), "model: phone\n");
    EXPECT_EQ(second.filename(), "x.png");
    EXPECT_EQ(contents(second), std::string("\0\x01png", 5));
    EXPECT_EQ(second.parent_path().parent_path(), first.parent_path().parent_path())
        << "the hostile name stays inside the attachment folder";
}

TEST(MailView, AHandOffReportsSavedOrTheFailureAndDismissesEitherWay) {
    MailScreen handed({.subject = "s"});
    handed.graph.settle();
    EXPECT_NE(handed.graph.tree().find(Query::tag("mail")), nullptr) << "black while it runs";
    handed.run();
    ASSERT_EQ(handed.results.size(), 1u);
    EXPECT_TRUE(handed.results[0].succeeded());
    EXPECT_EQ(handed.results[0].result, MailComposeResult::saved);
    EXPECT_FALSE(handed.presented.value);
    EXPECT_EQ(handed.graph.tree().find(Query::tag("mail")), nullptr);

    MailScreen failing({.subject = "s"}, 3);
    failing.run();
    ASSERT_EQ(failing.results.size(), 1u);
    EXPECT_FALSE(failing.results[0].succeeded());
    EXPECT_NE(failing.results[0].error.find("status 3"), std::string::npos)
        << failing.results[0].error;
    EXPECT_FALSE(failing.presented.value);

    MailScreen unheard({.subject = "s"}, 0, false);
    unheard.run();
    EXPECT_FALSE(unheard.presented.value) << "without a callback it only dismisses";
    EXPECT_EQ(unheard.stubs.runs("xdg-email").size(), 1u);
}

TEST(MailView, WithoutAMailProgramAnAlertSaysSoAndItsOKReportsAFailure) {
    MailScreen s({.subject = "s"});
    s.stubs.remove("xdg-email");
    EXPECT_FALSE(MailView::canSendMail());
    s.run();
    ASSERT_NE(s.graph.tree().find(Query::text("No Mail Program")), nullptr);
    EXPECT_NE(s.graph.tree().find(Query::text("No mail program is set up on this computer.")),
              nullptr);
    EXPECT_TRUE(s.results.empty());
    EXPECT_TRUE(s.presented.value);

    s.input.tap(Query::text("OK"));
    ASSERT_EQ(s.results.size(), 1u);
    EXPECT_FALSE(s.results[0].succeeded());
    EXPECT_EQ(s.results[0].error, "No mail program is set up on this computer.");
    EXPECT_FALSE(s.presented.value);
    EXPECT_EQ(s.graph.tree().find(Query::text("No Mail Program")), nullptr);
}

} // namespace
} // namespace qv
