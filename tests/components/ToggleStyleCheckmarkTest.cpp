#include "components/ToggleStyleCheckmark.hpp"

#include "ComponentTesting.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/SyntheticInput.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/views/Views.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::ui;
using platform::VirtualDispatch;
using Style = ToggleStyleCheckmark::CheckmarkStyle;
using Position = ToggleStyleCheckmark::CheckmarkPosition;

struct ToggleScreen {
    explicit ToggleScreen(ToggleStyleCheckmark s) : style(s) {}
    ToggleStyleCheckmark style;
    bool disabled = false;
    testing::Bound<bool> isOn{false};
    VirtualDispatch dispatch;
    ViewGraph graph{[this] {
                        return Toggle(isOn.binding(), Text("Save GPS data"))
                            .toggleStyle(style)
                            .disabled(disabled);
                    },
                    testing::phone()};
    SyntheticInput input{graph, dispatch};
    const Element* symbol(const std::string& name) {
        return graph.tree().find(Query::symbol(name));
    }
};

TEST(ToggleStyleCheckmark, TheSymbolShowsTheValueAndATapFlipsItInAnAnimation) {
    for (Style shape : {Style::square, Style::circle, Style::diamond}) {
        const std::string raw = ToggleStyleCheckmark::rawValue(shape);
        SCOPED_TRACE(raw);
        ToggleScreen s({shape});
        s.graph.update();
        EXPECT_NE(s.symbol(raw), nullptr);
        s.input.tap(Query::symbol(raw));
        EXPECT_TRUE(s.isOn.value);
        EXPECT_EQ(s.isOn.animatedWrites, std::vector<bool>{true});
        EXPECT_NE(s.symbol("checkmark." + raw), nullptr);
        EXPECT_EQ(s.symbol(raw), nullptr);
        s.input.tap(Query::text("Save GPS data")); // the label is part of the button
        EXPECT_FALSE(s.isOn.value);
    }
}

TEST(ToggleStyleCheckmark, TheSymbolStandsBeforeOrAfterTheLabelTwentyPointsApart) {
    ToggleScreen leading({Style::circle, ImageScale::large, Position::leading});
    leading.graph.update();
    const Rect symbol = leading.symbol("circle")->screenFrame();
    const Rect label = leading.graph.tree().get(Query::text("Save GPS data")).screenFrame();
    EXPECT_NEAR(label.minX() - symbol.maxX(), 20, 1e-6);
    EXPECT_NEAR(symbol.width, 17 * 1.2 * 1.3, 1e-6) << "at the large image scale";

    ToggleScreen trailing({Style::circle, ImageScale::medium, Position::trailing});
    trailing.graph.update();
    EXPECT_NEAR(trailing.symbol("circle")->screenFrame().minX() -
                    trailing.graph.tree().get(Query::text("Save GPS data")).screenFrame().maxX(),
                20, 1e-6);
}

TEST(ToggleStyleCheckmark, ADisabledHierarchyIgnoresTheTap) {
    ToggleScreen s({Style::square});
    s.disabled = true;
    s.input.tap(Query::symbol("square"));
    EXPECT_FALSE(s.isOn.value);
    EXPECT_TRUE(s.isOn.animatedWrites.empty());
}

TEST(ToggleStyleCheckmark, ExactlyThreeRawValuesNameAStyle) {
    EXPECT_EQ(ToggleStyleCheckmark::checkmarkStyle("diamond"), Style::diamond);
    EXPECT_EQ(ToggleStyleCheckmark::checkmarkStyle("square"), Style::square);
    EXPECT_FALSE(ToggleStyleCheckmark::checkmarkStyle("Square").has_value());
    EXPECT_FALSE(ToggleStyleCheckmark::checkmarkStyle("checkmark.square").has_value());
    EXPECT_FALSE(ToggleStyleCheckmark::checkmarkStyle("").has_value());
}

} // namespace
} // namespace qv
