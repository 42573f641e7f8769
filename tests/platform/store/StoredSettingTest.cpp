#include "platform/store/StoredSetting.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/state/StateChecks.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace qv::platform;

namespace {

enum class Speed : std::int64_t { slow = 1, fast = 2 };
std::optional<Speed> speedFromRawValue(std::int64_t raw) {
    if (raw == 1 || raw == 2) {
        return Speed(raw);
    }
    return std::nullopt;
}
std::int64_t rawValue(Speed speed) {
    return std::int64_t(speed);
}

enum class Kind { photo, movie };
std::optional<Kind> kindFromRawValue(std::string_view raw) {
    if (raw == "photo") {
        return Kind::photo;
    }
    if (raw == "movie") {
        return Kind::movie;
    }
    return std::nullopt;
}
std::string_view rawValue(Kind kind) {
    return kind == Kind::photo ? "photo" : "movie";
}

class Settings : public ObservableObject {
public:
    explicit Settings(UserDefaults& store) : defaults(store) {}
    UserDefaults& defaults;
    std::vector<std::string> log;
    StoredSetting<bool> flag{*this, defaults, "flag", true, plainCoding<bool>(), [this] {
                                 log.push_back("didSet " + std::string(*flag ? "on" : "off"));
                                 flag = false; // a write from its own observer does not recurse
                             }};
    StoredSetting<Speed> speed{*this, defaults, "speed", Speed::slow,
                               rawValueCoding(speedFromRawValue, rawValue)};
    StoredSetting<Kind> kind{*this, defaults, "kind", Kind::movie,
                             rawValueCoding(kindFromRawValue, rawValue)};
};

} // namespace

TEST(StoredSetting, DefaultsApplyToAbsentWrongAndUnknownValuesAndNothingIsWritten) {
    auto defaults = UserDefaults::inMemory();
    Settings settings(*defaults);
    EXPECT_TRUE(*settings.flag);
    EXPECT_EQ(*settings.speed, Speed::slow);
    EXPECT_EQ(*settings.kind, Kind::movie);
    EXPECT_FALSE(defaults->has("flag") || defaults->has("speed") || defaults->has("kind"));

    defaults->set("flag", "yes"); // another type
    defaults->set("speed", 7);    // names no case
    defaults->set("kind", 2);     // an integer where a string belongs
    EXPECT_TRUE(*settings.flag);
    EXPECT_EQ(*settings.speed, Speed::slow);
    EXPECT_EQ(*settings.kind, Kind::movie);

    defaults->set("speed", 2);
    defaults->set("kind", "photo");
    EXPECT_EQ(*settings.speed, Speed::fast);
    EXPECT_EQ(*settings.kind, Kind::photo);
}

TEST(StoredSetting, AWriteAnnouncesStoresThenObservesAndABindingWritesTheSameWay) {
    auto defaults = UserDefaults::inMemory();
    Settings settings(*defaults);
    auto willChange = settings.onWillChange([&] {
        settings.log.push_back(std::string("willChange, stored ") +
                               (defaults->has("flag") ? "yes" : "no"));
    });
    settings.flag.binding().set(true);
    EXPECT_EQ(settings.log, (std::vector<std::string>{"willChange, stored no", "didSet on",
                                                      "willChange, stored yes"}));
    EXPECT_EQ(defaults->boolValue("flag"), false); // the observer's own write holds

    settings.log.clear();
    auto speed = settings.speed.binding();
    speed = Speed::fast;
    EXPECT_EQ(defaults->integerValue("speed"), 2);
    EXPECT_EQ(settings.log, (std::vector<std::string>{"willChange, stored yes"}));
    settings.log.clear();
    EXPECT_EQ(*speed, Speed::fast); // reads fire nothing
    EXPECT_TRUE(settings.log.empty());
}

TEST(StoredSetting, AWriteOffTheMainQueueIsReported) {
    VirtualDispatch dispatch;
    auto defaults = UserDefaults::inMemory();
    Settings settings(*defaults);
    int reports = 0;
    setOffMainWriteHandler([&] { ++reports; });
    DispatchQueue queue("other");
    queue.async([&] {
        settings.speed = Speed::fast;
        settings.speed = Speed::slow;
    });
    dispatch.runUntilIdle();
    setOffMainWriteHandler({});
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(*settings.speed, Speed::slow);
}
