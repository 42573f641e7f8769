// Building, laying out and drawing a screen-sized view tree of a few hundred
// views: a settings-like grid of cells (rounded boxes, outlines, texts with
// shadows) under a header row of symbols, at the phone's 3x scale.

#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace qv::platform::ui;

View cell(int i, bool selected) {
    return HStack(
        {Spacer(),
         ZStack({RoundedRectangle(10, RoundedCornerStyle::continuous)
                     .fill(selected ? Color::white() : Color::black().opacity(0.01))
                     .opacity(0.4),
                 RoundedRectangle(10, RoundedCornerStyle::continuous)
                     .stroke(selected ? ShapeStyle::primary() : ShapeStyle::secondary(), 1),
                 Text(std::to_string(100 * (i + 1)))
                     .font(Font::title2())
                     .shadow(Color::black().opacity(0.33), selected ? 3 : 0)
                     .monospacedDigit()
                     .lineLimit(1)
                     .minimumScaleFactor(0.5)
                     .padding(5)}),
         Spacer()});
}

View screen() {
    std::vector<View> rows;
    rows.push_back(HStack({Image::system("gear"), Spacer(), Image::system("timer"), Spacer(),
                           Image::system("x.circle").foregroundStyle(ShapeStyle::secondary())})
                       .font(Font::title())
                       .padding());
    for (int r = 0; r < 16; ++r) {
        rows.push_back(
            HStack({cell(3 * r, r == 5), cell(3 * r + 1, false), cell(3 * r + 2, false)}));
    }
    return ZStack(
        {View(Color::black()).ignoresSafeArea(),
         VStack(std::move(rows), HorizontalAlignment::center, 10).padding(Edges::horizontal)});
}

SceneOptions options() {
    SceneOptions o;
    o.safeAreaInsets = {47, 0, 34, 0};
    o.scale = 3;
    return o;
}

void BM_BuildAndLayout(benchmark::State& state) {
    View v = screen();
    size_t elements = 0;
    for (auto _ : state) {
        ViewTree tree(v, options());
        elements = tree.findAll(Query::kind("Text")).size();
        benchmark::DoNotOptimize(&tree.root());
    }
    state.counters["texts"] = static_cast<double>(elements);
}
BENCHMARK(BM_BuildAndLayout)->Unit(benchmark::kMillisecond);

// Drawing into a reused frame buffer, as a window host does.
void BM_Render(benchmark::State& state) {
    ViewTree tree(screen(), options());
    const int w = 390 * 3, h = 844 * 3;
    std::vector<std::uint32_t> frame(static_cast<size_t>(w) * h);
    for (auto _ : state) {
        tree.renderInto(frame.data(), w, h, w * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);

void BM_BuildLayoutAndRender(benchmark::State& state) {
    View v = screen();
    const int w = 390 * 3, h = 844 * 3;
    std::vector<std::uint32_t> frame(static_cast<size_t>(w) * h);
    for (auto _ : state) {
        ViewTree tree(v, options());
        tree.renderInto(frame.data(), w, h, w * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_BuildLayoutAndRender)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
