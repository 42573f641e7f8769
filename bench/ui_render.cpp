// Building, laying out and drawing a screen-sized view tree of a few hundred
// views: a settings-like grid of cells (rounded boxes, outlines, texts with
// shadows) under a header row of symbols, at the phone's 3x scale.

#include "BenchSupport.hpp"
#include "platform/ui/layers/PreviewLayerHost.hpp"
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

// A 4032 x 3024 result picture fitted into the screen, rebuilt and drawn frame after
// frame as the screen does at 50 Hz: the picture is converted once per image object and
// drawn from a copy reduced to the pixels it covers. The first frame (conversion and
// reduction) is measured apart.

View resultScreen(const std::shared_ptr<const qv::platform::RgbaImage>& picture) {
    return ZStack({View(Color::darkGray()).ignoresSafeArea(),
                   Image(picture).resizable().scaledToFit().padding(10)});
}

void BM_ResultPictureFirstFrame(benchmark::State& state) {
    const int w = 390 * 3, h = 844 * 3;
    std::vector<std::uint32_t> frame(static_cast<size_t>(w) * h);
    const auto pixels = qv::bench::gradientPicture(4032, 3024);
    for (auto _ : state) {
        const auto picture = std::make_shared<const qv::platform::RgbaImage>(*pixels);
        ViewTree(resultScreen(picture), options()).renderInto(frame.data(), w, h, w * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_ResultPictureFirstFrame)->Unit(benchmark::kMillisecond);

void BM_ResultPictureEachFrame(benchmark::State& state) {
    const int w = 390 * 3, h = 844 * 3;
    std::vector<std::uint32_t> frame(static_cast<size_t>(w) * h);
    const auto picture = qv::bench::gradientPicture(4032, 3024);
    ViewTree(resultScreen(picture), options()).renderInto(frame.data(), w, h, w * 4);
    for (auto _ : state) {
        ViewTree(resultScreen(picture), options()).renderInto(frame.data(), w, h, w * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_ResultPictureEachFrame)->Unit(benchmark::kMillisecond);

// A new 1440 x 1080 live frame drawn turned upright into the 390 x 520 preview, as the
// window draws each frame of the preview layer (no rebuild), at 1 and 3 pixels a point. In
// a tree alone the picture is made at the draw: turned, halved while more than two of the
// frame's pixels go into one device pixel, scaled; in a window that work is done on the
// host's queue as the frame arrives, and the draw copies the picture.
void BM_PreviewLayerFrame(benchmark::State& state) {
    auto layer = qv::platform::CaptureVideoPreviewLayer::make(
        std::make_shared<qv::platform::CaptureSession>());
    auto picture = qv::platform::PixelBuffer::make(1440, 1080, qv::platform::pixelformat::bgra32);
    for (std::size_t y = 0; y < 1080; ++y) {
        auto* row = picture->row<std::uint32_t>(y);
        for (std::uint32_t x = 0; x < 1440; ++x) {
            row[x] = 0xff000000u | (x & 0xffu) << 16 | (static_cast<std::uint32_t>(y) & 0xffu);
        }
    }
    // Each draw shows a new frame: two buffers in turn.
    auto other = qv::platform::PixelBuffer::make(1440, 1080, qv::platform::pixelformat::bgra32);
    std::copy_n(picture->baseAddress(), picture->dataSize(), other->baseAddress());
    SceneOptions o = options();
    o.scale = static_cast<double>(state.range(0));
    const ViewTree tree(ZStack({View(Color::black()).ignoresSafeArea(),
                                VStack({PreviewLayerHost(layer).frame(390, 520), Spacer()})}),
                        o);
    const int w = 390 * static_cast<int>(o.scale), h = 844 * static_cast<int>(o.scale);
    std::vector<std::uint32_t> frame(static_cast<size_t>(w) * h);
    bool first = true;
    for (auto _ : state) {
        layer->present(first ? picture : other);
        first = !first;
        tree.renderInto(frame.data(), w, h, w * 4);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_PreviewLayerFrame)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
