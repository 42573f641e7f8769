#include "Gallery.hpp"

#include "platform/ui/drawing/Symbols.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv::platform::ui::gallery {
namespace {

View caption(const std::string& s) {
    return Text(s)
        .font(Font::caption2())
        .foregroundStyle(ShapeStyle::secondary())
        .lineLimit(1)
        .minimumScaleFactor(0.6);
}

View cell(View content, const std::string& name) {
    return VStack({std::move(content), caption(name)}, HorizontalAlignment::center, 4)
        .frame(86, 64);
}

ShapeView star() {
    return PathShape([](const Rect& r) {
        Path p;
        for (int i = 0; i < 10; ++i) {
            double a = -kPi / 2 + i * kPi / 5,
                   rad = (i % 2 == 0 ? 0.5 : 0.2) * std::min(r.width, r.height);
            Point q{r.midX() + rad * std::cos(a), r.midY() + rad * std::sin(a)};
            i == 0 ? p.moveTo(q) : p.lineTo(q);
        }
        p.closeSubpath();
        return p;
    });
}

View shapesRow() {
    StrokeStyle dashed;
    dashed.lineWidth = 3;
    dashed.lineCap = LineCap::round;
    dashed.dash = {6, 5};
    return HStack({
        cell(Rectangle().fill(Color::blue()).frame(44, 30), "fill"),
        cell(RoundedRectangle(10, RoundedCornerStyle::continuous)
                 .stroke(Color::white(), 2)
                 .frame(44, 30),
             "continuous"),
        cell(Circle().trim(0, 0.7).stroke(Color::yellow(), dashed).frame(34, 34), "trim + dash"),
        cell(star().fill(Color::red()).frame(36, 36).shadow(Color::white().opacity(0.6), 3),
             "path + shadow"),
    });
}

View effectsRow() {
    return HStack({
        cell(ZStack({View(Color::green()).frame(30, 30).offset(-6, -6),
                     View(Color::red()).frame(30, 30).offset(6, 6).opacity(0.5)}),
             "opacity"),
        cell(View(Color::blue()).frame(36, 12).rotationEffect(kPi / 4), "rotation"),
        cell(Text("Blur").font(Font::title()).blur(2), "blur"),
        cell(View(Color::yellow())
                 .frame(40, 40)
                 .overlay(Text("clip").foregroundColor(Color::black()))
                 .clipShape(Circle())
                 .frame(34, 34),
             "clip shape"),
    });
}

View textBlock() {
    return VStack(
        {
            Text("Large Title").font(Font::largeTitle()),
            HStack({Text("Title").font(Font::title()), Text("Title 2").font(Font::title2()),
                    Text("Title 3").font(Font::title3())},
                   VerticalAlignment::bottom),
            HStack({Text("Headline").font(Font::headline()), Text("Body"),
                    Text("Callout").font(Font::callout()),
                    Text("Subhead").font(Font::subheadline())},
                   VerticalAlignment::bottom),
            HStack({Text("Footnote").font(Font::footnote()), Text("Caption").font(Font::caption()),
                    Text("Caption 2").font(Font::caption2())},
                   VerticalAlignment::bottom),
            Text("1/8000 s  2⁵ ⁰¹²³⁴⁵⁶⁷⁸⁹ ₀₁₂₃₄₅₆₇₈₉  1⁄3  ΔEV  ∞")
                .font(Font::system(17).monospacedDigit())
                .foregroundColor(Color::yellow()),
            Text("A long line that is cut off at its line limit with a tail ellipsis").lineLimit(1),
        },
        HorizontalAlignment::leading, 6);
}

View symbolGrid() {
    std::vector<std::string> names = knownSymbolNames();
    std::vector<View> cells;
    for (const auto& n : names) {
        cells.push_back(cell(Image::system(n).font(Font::title2()), n));
    }
    for (const auto& n : knownAssetNames()) {
        cells.push_back(
            cell(Image::named(n).font(Font::title2()).foregroundColor(Color::accent()), n));
    }
    std::vector<View> rows;
    constexpr size_t perRow = 4;
    for (size_t i = 0; i < cells.size(); i += perRow) {
        std::vector<View> row(cells.begin() + static_cast<ptrdiff_t>(i),
                              cells.begin() +
                                  static_cast<ptrdiff_t>(std::min(cells.size(), i + perRow)));
        while (row.size() < perRow) {
            row.push_back(View().frame(86, 64));
        }
        rows.push_back(HStack(std::move(row), VerticalAlignment::center, 4));
    }
    return VStack(std::move(rows), HorizontalAlignment::center, 0);
}

} // namespace

View page() {
    return ZStack({
        View(Color::black()).ignoresSafeArea(),
        VStack({textBlock().frame(
                    FrameLimits{}.withMaxWidth(kInfinity).withAlignment(Alignment::leading())),
                shapesRow(), effectsRow(), symbolGrid(), Spacer()},
               HorizontalAlignment::center, 10)
            .padding(Edges::horizontal, 12),
    });
}

} // namespace qv::platform::ui::gallery
