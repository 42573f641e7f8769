#include "platform/input/GestureArena.hpp"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace qv::platform::input {
namespace {

std::string describe(const DragValue& v) {
    return std::to_string(static_cast<int>(v.translation.x)) + "," +
           std::to_string(static_cast<int>(v.translation.y));
}

using Recognizers = std::vector<std::unique_ptr<GestureRecognizer>>;

// The gestures of one view, in the order given.
template <class... R>
Recognizers recognizers(std::unique_ptr<R>... each) {
    Recognizers g;
    (g.push_back(std::move(each)), ...);
    return g;
}

// A small scene: rectangular views, each with its gestures, nested by depth. The hit
// test offers the gestures of every view under the point, deepest first, as the view
// layer does. Time is a plain number the test advances, as the virtual clock would.
struct Scene {
    struct Box {
        double x0, y0, x1, y1;
        int depth;
        std::function<Recognizers()> gestures;
    };
    std::vector<Box> boxes;
    std::vector<std::string> log;
    double now = 0;
    GestureRouter router{[this](Point p) {
        std::vector<GestureCandidate> out;
        std::vector<const Box*> hit;
        for (const auto& b : boxes) {
            if (p.x >= b.x0 && p.x <= b.x1 && p.y >= b.y0 && p.y <= b.y1) {
                hit.push_back(&b);
            }
        }
        std::sort(hit.begin(), hit.end(), [](auto* a, auto* b) { return a->depth > b->depth; });
        const int deepest = hit.empty() ? 0 : hit.front()->depth;
        for (const Box* b : hit) {
            for (auto& g : b->gestures()) {
                out.push_back({std::move(g), deepest - b->depth});
            }
        }
        return out;
    }};

    std::function<void()> note(std::string what) {
        return [this, what] { log.push_back(what); };
    }
    // A drag that logs "<prefix>changed x,y" and "<prefix>ended x,y" (its translation).
    std::unique_ptr<DragRecognizer> loggedDrag(double minimumDistance, std::string prefix) {
        return std::make_unique<DragRecognizer>(
            minimumDistance, nullptr,
            [this, prefix](const DragValue& v) {
                log.push_back(prefix + "changed " + describe(v));
            },
            [this, prefix](const DragValue& v) { log.push_back(prefix + "ended " + describe(v)); });
    }
    void advance(double seconds) {
        const double until = now + seconds;
        while (auto d = router.deadline()) {
            if (*d > until) {
                break;
            }
            now = *d;
            router.timeReached(now);
        }
        now = until;
    }
    void down(Point p) { router.pointer({PointerPhase::down, p, now}); }
    void move(Point p) { router.pointer({PointerPhase::moved, p, now}); }
    void up(Point p) { router.pointer({PointerPhase::up, p, now}); }
    void tap(Point p) {
        down(p);
        advance(0.05);
        up(p);
    }
    void drag(Point from, Point to, int steps = 5) {
        down(from);
        for (int i = 1; i <= steps; ++i) {
            advance(0.02);
            move({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        }
        up(to);
    }
};

TEST(Gestures, SingleTapDoubleTapAndDragOnOneViewAreToldApart) {
    Scene s;
    s.boxes.push_back({0, 0, 100, 100, 0, [&] {
                           return recognizers(std::make_unique<TapRecognizer>(2, s.note("double")),
                                              std::make_unique<TapRecognizer>(1, s.note("single")));
                       }});
    s.tap({50, 50});
    EXPECT_TRUE(s.log.empty()); // the single tap waits for the double tap to fail
    s.advance(0.31);
    EXPECT_EQ(s.log, std::vector<std::string>{"single"});

    s.log.clear();
    s.tap({50, 50});
    s.advance(0.1);
    s.tap({55, 52});
    EXPECT_EQ(s.log, std::vector<std::string>{"double"});
    s.advance(1);
    EXPECT_EQ(s.log, std::vector<std::string>{"double"});

    // Two taps too slow, or too far apart, are two single taps.
    s.log.clear();
    s.tap({50, 50});
    s.advance(0.5);
    s.tap({50, 50});
    s.advance(0.5);
    EXPECT_EQ(s.log, (std::vector<std::string>{"single", "single"}));

    // A drag across the view is no tap at all.
    s.log.clear();
    s.drag({10, 10}, {80, 10});
    s.advance(1);
    EXPECT_TRUE(s.log.empty());
    EXPECT_TRUE(s.router.isIdle());
}

TEST(Gestures, DoubleTapGoesBeforeADragOfMinimumDistanceZeroOnTheSameView) {
    Scene s;
    s.boxes.push_back({0, 0, 300, 400, 0, [&] {
                           return recognizers(std::make_unique<TapRecognizer>(2, s.note("double")),
                                              s.loggedDrag(0, ""));
                       }});
    // One tap: the drag's change and end arrive once the double tap has given up.
    s.tap({100, 100});
    s.advance(0.31);
    EXPECT_EQ(s.log, (std::vector<std::string>{"changed 0,0", "ended 0,0"}));

    s.log.clear();
    s.tap({100, 100});
    s.advance(0.1);
    s.tap({100, 100});
    s.advance(1);
    EXPECT_EQ(s.log, std::vector<std::string>{"double"});

    // A real drag: the double tap fails on the move and every change is delivered.
    s.log.clear();
    s.drag({100, 200}, {100, 120}, 4);
    ASSERT_FALSE(s.log.empty());
    EXPECT_EQ(s.log.front(), "changed 0,0");
    EXPECT_EQ(s.log.back(), "ended 0,-80");
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "double"), 0);
}

TEST(Gestures, ReachedLongPressCancelsTheTapAndAQuickPressIsATap) {
    Scene s;
    s.boxes.push_back({0, 0, 60, 60, 0, [&] {
                           return recognizers(
                               std::make_unique<TapRecognizer>(1, s.note("tap")),
                               std::make_unique<LongPressRecognizer>(0.5, 10, s.note("long")));
                       }});
    s.down({30, 30});
    s.advance(0.49);
    EXPECT_TRUE(s.log.empty());
    s.advance(0.02);
    EXPECT_EQ(s.log, std::vector<std::string>{"long"}); // while the finger is still down
    s.advance(1);
    s.up({30, 30});
    EXPECT_EQ(s.log, std::vector<std::string>{"long"});

    s.log.clear();
    s.tap({30, 30});
    s.advance(1);
    EXPECT_EQ(s.log, std::vector<std::string>{"tap"});

    // Moving beyond the maximum distance fails both.
    s.log.clear();
    s.down({30, 30});
    s.advance(0.1);
    s.move({30, 45});
    s.advance(1);
    s.up({30, 45});
    EXPECT_TRUE(s.log.empty());
}

TEST(Gestures, ChildTapWinsOverParentDragOfMinimumDistanceZero) {
    Scene s;
    s.boxes.push_back({0, 0, 300, 300, 0, [&] { return recognizers(s.loggedDrag(0, "parent ")); }});
    s.boxes.push_back(
        {100, 100, 150, 150, 1,
         [&] { return recognizers(std::make_unique<TapRecognizer>(1, s.note("child tap"))); }});
    s.tap({120, 120});
    EXPECT_EQ(s.log, std::vector<std::string>{"child tap"});

    // Beside the child the parent's drag acts at once.
    s.log.clear();
    s.tap({20, 20});
    EXPECT_EQ(s.log, (std::vector<std::string>{"parent changed 0,0", "parent ended 0,0"}));

    // A drag that starts on the child: the tap fails beyond its slop, then the parent's
    // drag gets the whole movement, measured from where the finger went down.
    s.log.clear();
    s.drag({120, 120}, {120, 180}, 3);
    ASSERT_GE(s.log.size(), 2u);
    EXPECT_EQ(s.log.front(), "parent changed 0,0");
    EXPECT_EQ(s.log.back(), "parent ended 0,60");
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "child tap"), 0);
}

TEST(Gestures, DragBeginsAtItsMinimumDistanceInItsCoordinateSpace) {
    Scene s;
    std::vector<DragValue> changes;
    std::vector<DragValue> ends;
    // A view turned a quarter turn: screen +x is local +y, screen +y is local -x.
    const CoordinateSpace local = [](Point p) { return Point{p.y - 100, -(p.x - 100)}; };
    s.boxes.push_back({0, 0, 200, 200, 0, [&] {
                           return recognizers(std::make_unique<DragRecognizer>(
                               5, local, [&](const DragValue& v) { changes.push_back(v); },
                               [&](const DragValue& v) { ends.push_back(v); }));
                       }});
    s.down({100, 100});
    s.move({103, 100});
    EXPECT_TRUE(changes.empty()); // 3 points: not yet a drag
    s.move({130, 100});
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].translation, (Point{0, -30}));
    EXPECT_EQ(changes[0].startLocation, (Point{0, 0}));
    s.up({130, 100});
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].location, (Point{0, -30}));

    // Released before the minimum distance: no change and no end.
    changes.clear();
    ends.clear();
    s.down({100, 100});
    s.move({102, 102});
    s.up({102, 102});
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(ends.empty());

    // A press the window system cancels ends without an end call.
    s.down({100, 100});
    s.move({150, 100});
    s.router.pointer({PointerPhase::cancelled, {}, s.now});
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_TRUE(ends.empty());
    EXPECT_TRUE(s.router.isIdle());
}

} // namespace
} // namespace qv::platform::input
