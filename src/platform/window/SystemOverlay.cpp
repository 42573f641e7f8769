#include "platform/window/SystemOverlay.hpp"

#include "platform/system/AppInfo.hpp"
#include "platform/system/LinkOpener.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::platform::window {

namespace {

using namespace qv::platform::ui;

const Color kPanelColor(0.11, 0.11, 0.12, 1);
const Color kBoxColor(0.17, 0.17, 0.18, 1);
const Color kLineColor(0.33, 0.33, 0.35, 1);

// Takes every press on the area it covers, so nothing below answers.
View modalGround(const Color& color) {
    return View(color).ignoresSafeArea().contentShape(Rectangle()).onTapGesture([] {});
}

View line(std::optional<double> width, std::optional<double> height) {
    return View(kLineColor).frame(width, height);
}

View promptButton(const std::string& title, bool emphasised, std::function<void()> action,
                  const std::string& tag) {
    return Button(Text(title)
                      .font(emphasised ? Font::headline() : Font::body())
                      .foregroundColor(Color::accent())
                      .frame(FrameLimits{}.withMaxWidth(kInfinity).withMinHeight(44)),
                  std::move(action))
        .buttonStyle(ButtonStyle::plain)
        .testTag(tag);
}

View statusRow(const std::string& title, View picker) {
    return VStack(
        {Text(title).font(Font::headline()).foregroundColor(Color::white()), std::move(picker)},
        HorizontalAlignment::leading);
}

} // namespace

SystemOverlay::SystemOverlay(Permissions& permissions, std::function<void()> changed)
    : permissions_(permissions), changed_(std::move(changed)) {
    permissions_.setPromptPresenter(
        [this](const PermissionPrompt& prompt, Permissions::PromptAnswer reply) {
            prompts_.push_back({prompt, std::move(reply)});
            changed_();
        });
    setSettingsPageHandler([this] { showSettingsPanel(); });
}

SystemOverlay::~SystemOverlay() {
    permissions_.setPromptPresenter({});
    setSettingsPageHandler({});
    for (OpenPrompt& open : prompts_) {
        open.answer(std::nullopt);
    }
}

void SystemOverlay::showSettingsPanel() {
    panelShown_ = true;
    changed_();
}

void SystemOverlay::answer(bool allow) {
    if (prompts_.empty()) {
        return;
    }
    OpenPrompt open = std::move(prompts_.front());
    prompts_.pop_front();
    changed_();
    open.answer(allow);
}

View SystemOverlay::body() {
    if (!prompts_.empty()) {
        return promptView(prompts_.front());
    }
    if (panelShown_) {
        return panelView();
    }
    return Group({});
}

View SystemOverlay::promptView(const OpenPrompt& open) {
    SystemOverlay* self = this; // the buttons' actions run later, on the main thread
    const View box = VStack({Text(open.prompt.message)
                                 .font(Font::headline())
                                 .foregroundColor(Color::white())
                                 .multilineTextAlignment(TextAlignment::center)
                                 .padding(20),
                             line(std::nullopt, 0.5),
                             HStack({promptButton(
                                         open.prompt.denyTitle, false,
                                         [self] { self->answer(false); }, "permission-deny"),
                                     line(0.5, 44),
                                     promptButton(
                                         open.prompt.allowTitle, true,
                                         [self] { self->answer(true); }, "permission-allow")},
                                    VerticalAlignment::center, 0)},
                            HorizontalAlignment::center, 0)
                         .frame(270, std::nullopt)
                         .background(RoundedRectangle(14).fill(kBoxColor));
    return ZStack({modalGround(Color::black().opacity(0.45)), box}).testTag("permission-prompt");
}

View SystemOverlay::panelView() {
    SystemOverlay* self = this;
    const auto choice = [self](PermissionService service) {
        return Binding<PermissionStatus>(
            [self, service] { return self->permissions_.storedStatus(service); },
            [self, service](PermissionStatus status) {
                self->permissions_.changeInSettings(service, status);
                self->changed_();
            });
    };
    using Segment = PickerSegment<PermissionStatus>;
    const View content = VStack(
        {Text(appName()).font(Font::largeTitle()).foregroundColor(Color::white()),
         Text("Allow " + appName() + " to access")
             .font(Font::footnote())
             .foregroundColor(Color::gray()),
         statusRow("Camera", Picker("Camera", choice(PermissionService::camera),
                                    {Segment{PermissionStatus::authorized, "Allow"},
                                     Segment{PermissionStatus::denied, "Don't Allow"}})),
         statusRow("Photos", Picker("Photos", choice(PermissionService::photos),
                                    {Segment{PermissionStatus::authorized, "Full Access"},
                                     Segment{PermissionStatus::denied, "None"}})),
         statusRow("Location", Picker("Location", choice(PermissionService::location),
                                      {Segment{PermissionStatus::denied, "Never"},
                                       Segment{PermissionStatus::whenInUse, "While Using"},
                                       Segment{PermissionStatus::always, "Always"}})),
         Text("Camera and Photos changes take effect the next time " + appName() + " starts.")
             .font(Font::footnote())
             .foregroundColor(Color::gray()),
         Spacer(),
         Button(std::string("Done"),
                [self] {
                    self->panelShown_ = false;
                    self->changed_();
                })
             .testTag("settings-done")},
        HorizontalAlignment::leading, 20);
    return ZStack({modalGround(kPanelColor),
                   content.padding(24).frame(
                       FrameLimits{}.withMaxWidth(kInfinity).withMaxHeight(kInfinity).withAlignment(
                           Alignment::topLeading()))})
        .testTag("settings-panel");
}

} // namespace qv::platform::window
