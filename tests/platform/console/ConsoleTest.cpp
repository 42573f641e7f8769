#include "platform/console/Console.hpp"

#include <array>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <vector>

using namespace qv::platform;

namespace {

enum class Mode { frameAveraging, lightTrails };

std::string description(Mode mode) {
    return mode == Mode::frameAveraging ? "frameAveraging" : "lightTrails";
}

struct Point {
    int x, y;
    std::string description() const {
        return std::string("(").append(describe(x)).append(", ").append(describe(y)).append(")");
    }
};

} // namespace

TEST(Console, ItemsPrintAsTheOriginalSystemPrintedThem) {
    ConsoleCapture capture;
    print("Adding photo takes ", 0.25);
    print(2.0, 25.0f, -0.5, 0.84, true, false, 42, -7L);
    print(std::vector<int>{528, 532, 532});
    print(std::vector<std::string>{"a", "b \"c\""}, std::array<double, 2>{1.0, 0.5});
    print(std::vector<int>{});
    print(Mode::lightTrails, Point{1, 2}, std::vector<Mode>{Mode::frameAveraging});
    EXPECT_EQ(capture.text(), "Adding photo takes  0.25\n"
                              "2.0 25.0 -0.5 0.84 true false 42 -7\n"
                              "[528, 532, 532]\n"
                              "[\"a\", \"b \\\"c\\\"\"] [1.0, 0.5]\n"
                              "[]\n"
                              "lightTrails (1, 2) [frameAveraging]\n");
}

TEST(Console, SeparatorAndTerminatorMayBeGivenAnywhere) {
    ConsoleCapture capture;
    print("a", Separator{", "}, 1, 2.0, Terminator{""});
    print(Terminator{"!\n"});
    print("ERROR", "id-7", "failed", Separator{" "});
    EXPECT_EQ(capture.text(), "a, 1, 2.0!\nERROR id-7 failed\n");
}

TEST(Console, CapturesNestAndRestoreTheirPredecessor) {
    ConsoleCapture outer;
    print("one");
    {
        ConsoleCapture inner;
        print("two");
        EXPECT_EQ(inner.text(), "two\n");
    }
    print("three");
    EXPECT_EQ(outer.text(), "one\nthree\n");
}

TEST(Console, LinesFromManyThreadsNeverInterleave) {
    ConsoleCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                print("thread", t, "line", i, "with several items");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::istringstream lines(capture.text());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        std::istringstream words(line);
        std::string thread, line_, end1, end2, end3;
        int t = -1, i = -1;
        words >> thread >> t >> line_ >> i >> end1 >> end2 >> end3;
        EXPECT_EQ(thread, "thread");
        EXPECT_EQ(end3, "items") << line;
    }
    EXPECT_EQ(count, 800);
}
