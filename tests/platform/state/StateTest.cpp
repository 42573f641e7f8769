#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/state/Published.hpp"
#include "platform/state/Transaction.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using namespace qv::platform;

namespace {

// A controller in the shape the app's controllers take: published properties whose
// observers do the device work.
class Controller : public ObservableObject {
public:
    std::vector<std::string> log;
    Published<int> isoIndex{*this, 3,
                            [this](const int& v) {
                                log.push_back("willSet " + std::to_string(v) + " (stored " +
                                              std::to_string(*isoIndex) + ")");
                            },
                            [this](const int& old) {
                                log.push_back("didSet old " + std::to_string(old) + " now " +
                                              std::to_string(*isoIndex));
                            }};
    Published<std::string> message{*this, ""};
    Published<double> zoom{*this, 1.0};
};

} // namespace

TEST(Published, WillChangeComesBeforeTheStoreAndObserversRunOnEqualWrites) {
    Controller c;
    auto willChange = c.onWillChange(
        [&] { c.log.push_back("willChange (stored " + std::to_string(*c.isoIndex) + ")"); });
    auto subscriber = c.isoIndex.subscribe([&](const int& v) {
        c.log.push_back("subscriber " + std::to_string(v) + " (stored " +
                        std::to_string(*c.isoIndex) + ")");
    });
    c.isoIndex = 3; // equal to the stored value: everything still runs
    EXPECT_EQ(c.log, (std::vector<std::string>{"willSet 3 (stored 3)", "willChange (stored 3)",
                                               "subscriber 3 (stored 3)", "didSet old 3 now 3"}));
    c.log.clear();
    c.isoIndex.set(5);
    EXPECT_EQ(c.log, (std::vector<std::string>{"willSet 5 (stored 3)", "willChange (stored 3)",
                                               "subscriber 5 (stored 3)", "didSet old 3 now 5"}));
    c.log.clear();
    const int read = c.isoIndex;
    EXPECT_EQ(read + *c.isoIndex + c.isoIndex.get() + c.isoIndex.load(), 20);
    EXPECT_TRUE(c.log.empty()); // reads fire nothing
}

TEST(Published, AWriteFromItsOwnObserverDoesNotRecurse) {
    Controller c;
    int willChanges = 0;
    auto s = c.onWillChange([&] { ++willChanges; });
    c.isoIndex.setObservers({}, [&](const int&) {
        if (*c.isoIndex > 10) {
            c.isoIndex = 10; // clamps; observers are not called again
        }
    });
    c.isoIndex = 42;
    EXPECT_EQ(*c.isoIndex, 10);
    EXPECT_EQ(willChanges, 2);
}

TEST(Published, SubscriptionsEndWhenTheirTokenIsDropped) {
    Controller c;
    int calls = 0;
    {
        auto s = c.onWillChange([&] { ++calls; });
        c.zoom = 2.0;
    }
    c.zoom = 3.0;
    EXPECT_EQ(calls, 1);

    Subscription later;
    auto self = c.message.subscribe([&](const std::string&) {
        ++calls;
        later.reset(); // ending another subscription during a send
    });
    later = c.message.subscribe([&](const std::string&) { ++calls; });
    c.message = "a";
    c.message = "b";
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(later.isActive());
}

TEST(Binding, WritesTakeThePropertysOwnPath) {
    Controller c;
    Binding<int> iso = c.isoIndex.binding();
    int willChanges = 0;
    auto s = c.onWillChange([&] { ++willChanges; });
    iso.set(7);
    iso = 7;
    EXPECT_EQ(*iso, 7);
    EXPECT_EQ(willChanges, 2);
    EXPECT_EQ(c.log, (std::vector<std::string>{"willSet 7 (stored 3)", "didSet old 3 now 7",
                                               "willSet 7 (stored 7)", "didSet old 7 now 7"}));

    int stored = 1;
    Binding<int> plain([&] { return stored; }, [&](int v) { stored = v * 2; });
    plain = 4;
    EXPECT_EQ(plain.get(), 8);

    struct Point {
        double x = 0, y = 0;
    };
    auto point = Binding<Point>::constant({1, 2});
    point.member(&Point::y).set(5);
    EXPECT_EQ(point.get().x, 1);
    EXPECT_EQ(point.get().y, 5);
}

TEST(Transaction, ObserversSeeThatAChangeWasAnimated) {
    Controller c;
    std::vector<std::optional<Animation>> seen;
    auto s =
        c.zoom.subscribe([&](const double&) { seen.push_back(Transaction::current().animation); });
    c.zoom = 2.0;
    const int result = withAnimation(Animation::easeInOut(0.3), [&] {
        c.zoom = 3.0;
        withAnimation([&] { c.zoom = 4.0; });
        c.zoom = 5.0;
        return 9;
    });
    c.zoom = 6.0;
    EXPECT_EQ(result, 9);
    EXPECT_EQ(*c.zoom, 6.0); // the change happened at once
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], std::nullopt);
    EXPECT_EQ(seen[1], Animation::easeInOut(0.3));
    EXPECT_EQ(seen[2], Animation::defaultAnimation());
    EXPECT_EQ(seen[3], Animation::easeInOut(0.3));
    EXPECT_EQ(seen[4], std::nullopt);
}

TEST(Published, WritesOffTheMainQueueAreReportedOnce) {
    VirtualDispatch dispatch;
    Controller c;
    int reports = 0;
    setOffMainWriteHandler([&] { ++reports; });
    DispatchQueue session("PhotoSession");
    session.async([&] {
        c.zoom = 2.0;
        c.zoom = 3.0;
    });
    DispatchQueue::main().async([&] { c.zoom = 4.0; });
    dispatch.runUntilIdle();
    setOffMainWriteHandler({});
    EXPECT_EQ(reports, 1);
}

TEST(Published, OtherThreadsReadTheMirrorWhileTheMainThreadWrites) {
    Controller c;
    std::atomic<bool> done{false};
    std::latch started(2);
    auto reader = [&] {
        started.count_down();
        double last = 0;
        while (!done) {
            const double v = c.zoom.load();
            EXPECT_GE(v, last); // values only grow, and are never torn
            last = v;
            EXPECT_FALSE(c.message.load().size() > 4);
        }
    };
    std::thread a(reader), b(reader);
    started.wait();
    for (int i = 1; i <= 2000; ++i) {
        c.zoom = static_cast<double>(i);
        c.message = std::to_string(i);
    }
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(c.zoom.load(), 2000.0);
    EXPECT_EQ(c.message.load(), "2000");
}
