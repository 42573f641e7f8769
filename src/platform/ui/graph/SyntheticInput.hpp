#pragma once
// Input for tests: taps, double taps, long presses and drags at points of a graph's
// tree, sent through the same hit testing and gesture recognisers as the window's
// pointer, with time moved on a VirtualDispatch. Before each gesture the graph is
// brought up to date; after it, the gesture is given time to decide (a single tap
// waits out a possible double tap) and the graph settles.
//
//     VirtualDispatch dispatch;
//     ViewGraph graph(content);
//     SyntheticInput input(graph, dispatch);
//     input.tap(Query::text("OK"));

#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/ui/graph/ViewGraph.hpp"

namespace qv::platform::ui {

class SyntheticInput {
public:
    SyntheticInput(ViewGraph& graph, VirtualDispatch& dispatch)
        : graph_(graph), dispatch_(dispatch) {}

    void tap(Point p);
    void tap(const Query& query);
    void doubleTap(Point p);
    void longPress(Point p, double seconds = 0.6);
    /// Presses at `from`, moves to `to` in `steps` equal moves over `seconds`, releases.
    void drag(Point from, Point to, int steps = 8, double seconds = 0.3);

    /// The mouse wheel at `p`, `points` towards the end of the content (then the graph
    /// settles).
    void wheel(Point p, double points);
    /// One pointer event at the current virtual time (then the graph updates).
    void send(input::PointerPhase phase, Point p);
    /// Lets `seconds` pass on the virtual clock, running what falls due.
    void wait(double seconds);
    /// The centre of the first element the query finds, as drawn.
    Point centerOf(const Query& query);

private:
    /// Presses at `p` and releases there after `seconds`.
    void press(Point p, double seconds);
    void finish();

    ViewGraph& graph_;
    VirtualDispatch& dispatch_;
};

} // namespace qv::platform::ui
