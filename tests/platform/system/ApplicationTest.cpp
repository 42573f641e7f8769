#include "platform/system/Application.hpp"

#include "platform/console/Console.hpp"

#include <gtest/gtest.h>
#include <vector>

namespace qv::platform {
namespace {

TEST(Application, WithoutAWindowItRecordsAndWithOneItHandsOn) {
    Application application;
    EXPECT_EQ(application.nativeScreenSize(), (PixelSize{1170, 2532}));
    EXPECT_EQ(application.state(), ApplicationState::background);

    application.setIdleTimerDisabled(true);
    EXPECT_TRUE(application.isIdleTimerDisabled());
    std::vector<bool> applied;
    application.setIdleTimerHook([&](bool disabled) { applied.push_back(disabled); });
    application.setIdleTimerDisabled(false);
    EXPECT_EQ(applied, (std::vector{true, false})); // the recorded value first, then each change
    application.setIdleTimerHook({});
    application.setIdleTimerDisabled(true);
    EXPECT_EQ(applied.size(), 2u);

    application.setNativeScreenSize({1560, 3376});
    EXPECT_EQ(application.nativeScreenSize().width, 1560);
}

TEST(Application, AReviewRequestOnlyPrintsALine) {
    ConsoleCapture console;
    Application::shared().requestReview();
    EXPECT_EQ(console.text(), "A review of Quarn Vesil was requested; there is no app store to "
                              "ask on this system\n");
}

} // namespace
} // namespace qv::platform
