#include "platform/input/GestureArena.hpp"

#include <algorithm>

namespace qv::platform::input {

using Calls = std::vector<std::function<void()>>;

GestureArena::GestureArena(std::vector<GestureCandidate> candidates)
    : candidates_(std::move(candidates)) {}

Calls GestureArena::pointer(const PointerEvent& event) {
    for (auto& c : candidates_) {
        GestureRecognizer& r = *c.recognizer;
        // A down starts a press of every live candidate not already in one (the first
        // press, or the next press of a multi-tap); other events go to those in a press.
        const bool follows =
            event.phase == PointerPhase::down ? r.isLive() && !r.isTracking() : r.isTracking();
        if (follows) {
            r.pointer(event);
        }
    }
    return settle();
}

Calls GestureArena::timeReached(double now) {
    for (auto& c : candidates_) {
        c.recognizer->timeReached(now);
    }
    return settle();
}

std::optional<double> GestureArena::deadline() const {
    std::optional<double> earliest;
    for (const auto& c : candidates_) {
        if (const auto d = c.recognizer->deadline(); d && (!earliest || *d < *earliest)) {
            earliest = d;
        }
    }
    return earliest;
}

bool GestureArena::isTracking() const {
    return std::any_of(candidates_.begin(), candidates_.end(),
                       [](const auto& c) { return c.recognizer->isTracking(); });
}

bool GestureArena::awaitsAnotherPress() const {
    return std::any_of(candidates_.begin(), candidates_.end(),
                       [](const auto& c) { return c.recognizer->awaitsAnotherPress(); });
}

bool GestureArena::isResolved() const {
    if (winner_) {
        const GestureRecognizer& w = *candidates_[*winner_].recognizer;
        return !w.isLive() && !w.hasOutput();
    }
    return std::none_of(candidates_.begin(), candidates_.end(), [](const auto& c) {
        return c.recognizer->isLive() || c.recognizer->hasOutput();
    });
}

bool GestureArena::isBlocked(std::size_t i) const {
    const GestureCandidate& me = candidates_[i];
    for (std::size_t j = 0; j < candidates_.size(); ++j) {
        const GestureCandidate& other = candidates_[j];
        if (j == i || other.recognizer->state() == GestureRecognizer::State::failed) {
            continue;
        }
        if (other.depth < me.depth) {
            return true; // a deeper view's gesture is still deciding
        }
        if (other.depth == me.depth && other.recognizer->tapCount() >= 2 &&
            me.recognizer->tapCount() < other.recognizer->tapCount()) {
            return true; // the view's multi-tap goes first
        }
    }
    return false;
}

Calls GestureArena::settle() {
    if (winner_) {
        return candidates_[*winner_].recognizer->takeOutput();
    }
    for (std::size_t i = 0; i < candidates_.size(); ++i) {
        GestureRecognizer& r = *candidates_[i].recognizer;
        if (r.state() == GestureRecognizer::State::failed || !r.hasOutput() || isBlocked(i)) {
            continue;
        }
        winner_ = i;
        for (std::size_t j = 0; j < candidates_.size(); ++j) {
            if (j != i) {
                candidates_[j].recognizer->cancel();
            }
        }
        return r.takeOutput();
    }
    return {};
}

void GestureRouter::pointer(const PointerEvent& event) {
    Calls calls;
    const auto append = [&calls](Calls more) {
        for (auto& c : more) {
            calls.push_back(std::move(c));
        }
    };
    if (event.phase == PointerPhase::down) {
        bool taken = false;
        for (auto& arena : arenas_) {
            if (arena->awaitsAnotherPress()) {
                append(arena->pointer(event));
                taken = taken || arena->isTracking();
            }
        }
        if (!taken) {
            auto candidates = hitTest_(event.location);
            if (!candidates.empty()) {
                arenas_.push_back(std::make_unique<GestureArena>(std::move(candidates)));
                append(arenas_.back()->pointer(event));
            }
        }
    } else {
        for (auto& arena : arenas_) {
            if (arena->isTracking()) {
                append(arena->pointer(event));
            }
        }
    }
    run(std::move(calls));
}

void GestureRouter::timeReached(double now) {
    Calls calls;
    for (auto& arena : arenas_) {
        for (auto& c : arena->timeReached(now)) {
            calls.push_back(std::move(c));
        }
    }
    run(std::move(calls));
}

std::optional<double> GestureRouter::deadline() const {
    std::optional<double> earliest;
    for (const auto& arena : arenas_) {
        if (const auto d = arena->deadline(); d && (!earliest || *d < *earliest)) {
            earliest = d;
        }
    }
    return earliest;
}

void GestureRouter::run(Calls calls) {
    // Bookkeeping first: a handler may send input of its own.
    std::erase_if(arenas_, [](const auto& arena) { return arena->isResolved(); });
    for (auto& call : calls) {
        call();
    }
}

} // namespace qv::platform::input
