// The settings screen's steppers, its location switch and the pages it opens.

#include "CameraTestSupport.hpp"
#include "StubPrograms.hpp"
#include "platform/system/LinkOpener.hpp"

namespace qv::testing {
namespace {

class SequenceSteppersTest : public CameraTest {
protected:
    SequenceSteppersTest() {
        install({wideCamera()});
        start();
        changes = camera->onWillChange([this] { ++announced; });
    }

    ExposureSequence& sequence() { return *camera->exposureSequence; }

    int announced = 0;
    platform::Subscription changes;
};

TEST_F(SequenceSteppersTest, StepsStopAtTheEndsOfTheirTables) {
    sequence().setSelectedDurationIndex(0);
    announced = 0;
    camera->decreaseDuration();
    EXPECT_EQ(sequence().selectedDurationIndex(), 0);
    EXPECT_EQ(announced, 0);

    sequence().setSelectedDurationIndex(63);
    camera->increaseDuration();
    EXPECT_EQ(sequence().selectedDurationIndex(), 63);
    camera->decreaseDuration();
    EXPECT_EQ(sequence().selectedDurationIndex(), 62);
    EXPECT_EQ(announced, 1);

    sequence().setSelectedInterimIntervalIndex(11);
    camera->increaseInterimInterval();
    EXPECT_EQ(sequence().selectedInterimIntervalIndex(), 12);
    camera->increaseInterimInterval();
    EXPECT_EQ(sequence().selectedInterimIntervalIndex(), 12);
    camera->decreaseInterimInterval();
    EXPECT_EQ(sequence().selectedInterimIntervalIndex(), 11);
    EXPECT_EQ(settingsStore->store().integerValue("interimIndex"), 11);
}

TEST_F(SequenceSteppersTest, StoredIndicesOutOfRangeStepFromTheEntryTheyName) {
    settingsStore->store().set("totalTime", 80);
    camera->decreaseDuration();
    EXPECT_EQ(sequence().selectedDurationIndex(), 62);

    settingsStore->store().set("interimIndex", -3);
    camera->increaseInterimInterval();
    EXPECT_EQ(sequence().selectedInterimIntervalIndex(), 1);
}

TEST_F(SequenceSteppersTest, TheLocationSwitchFlipsTheSettingWhileAccessIsGranted) {
    usePermissions("camera=authorized,photos=authorized,location=always");
    start();
    changes = camera->onWillChange([this] { ++announced; });
    pump();
    ASSERT_TRUE(camera->isGPSAuthorized.get());
    auto& setting = camera->settings.shouldSaveLocationData;

    announced = 0;
    camera->toggleSaveLocationData();
    EXPECT_TRUE(setting.get());
    const int afterStore = announced;
    pump();
    EXPECT_EQ(announced, afterStore + 1); // one more, a main-queue turn later
    camera->toggleSaveLocationData();
    EXPECT_FALSE(setting.get());
}

TEST_F(SequenceSteppersTest, PagesOpenThroughTheDesktop) {
    StubPrograms stubs;
    stubs.add("xdg-open");
    int settingsPages = 0;
    platform::setSettingsPageHandler([&] { ++settingsPages; });

    camera->openPrivacyPolicy();
    camera->openTermsOfUse();
    camera->openWebPage("not an address");
    camera->openSettingsPage();
    pump();

    EXPECT_EQ(stubs.runs("xdg-open"), (std::vector<std::vector<std::string>>{
                                          {"https://quarn-vesil.example/privacy"},
                                          {"https://quarn-vesil.example/terms-conditions"}}));
    EXPECT_EQ(settingsPages, 1);
    platform::setSettingsPageHandler({});
}

} // namespace
} // namespace qv::testing
