#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace qv {

// The set of live overlays drawn over the preview, as bits of a signed 64-bit
// raw value. Every operation is the plain bit operation on the raw value; any
// raw value is accepted unchanged. That one overlay shows at a time is the
// camera controller's rule, not this type's.
struct ActiveOverlayViews {
    std::int64_t rawValue = 0;

    static const ActiveOverlayViews grid;
    static const ActiveOverlayViews spiritLevel;
    static const ActiveOverlayViews magnifier;
    static const ActiveOverlayViews histogram;

    constexpr ActiveOverlayViews() = default;
    constexpr explicit ActiveOverlayViews(std::int64_t raw) : rawValue(raw) {}
    // The union of the members' bits; an empty list gives the empty set.
    constexpr ActiveOverlayViews(std::initializer_list<ActiveOverlayViews> members) {
        for (const auto member : members) {
            rawValue |= member.rawValue;
        }
    }

    constexpr ActiveOverlayViews unionWith(ActiveOverlayViews other) const {
        return ActiveOverlayViews(rawValue | other.rawValue);
    }
    constexpr ActiveOverlayViews intersection(ActiveOverlayViews other) const {
        return ActiveOverlayViews(rawValue & other.rawValue);
    }
    constexpr ActiveOverlayViews symmetricDifference(ActiveOverlayViews other) const {
        return ActiveOverlayViews(rawValue ^ other.rawValue);
    }
    constexpr ActiveOverlayViews subtracting(ActiveOverlayViews other) const {
        return ActiveOverlayViews(rawValue & ~other.rawValue);
    }

    // Every bit of `member` is in the set.
    constexpr bool contains(ActiveOverlayViews member) const {
        return (rawValue & member.rawValue) == member.rawValue;
    }
    constexpr bool isSubset(ActiveOverlayViews of) const { return of.contains(*this); }
    constexpr bool isSuperset(ActiveOverlayViews of) const { return contains(of); }
    constexpr bool isDisjoint(ActiveOverlayViews with) const {
        return (rawValue & with.rawValue) == 0;
    }
    constexpr bool isEmpty() const { return rawValue == 0; }

    struct InsertResult;
    // Sets the member's bits.
    constexpr InsertResult insert(ActiveOverlayViews member);
    // Clears the member's bits; returns those that were set, nullopt when none were.
    constexpr std::optional<ActiveOverlayViews> remove(ActiveOverlayViews member) {
        const ActiveOverlayViews present = intersection(member);
        rawValue &= ~member.rawValue;
        if (present.isEmpty()) {
            return std::nullopt;
        }
        return present;
    }
    // Sets the member's bits; returns those that were already set, nullopt when none were.
    constexpr std::optional<ActiveOverlayViews> update(ActiveOverlayViews member) {
        const ActiveOverlayViews present = intersection(member);
        rawValue |= member.rawValue;
        if (present.isEmpty()) {
            return std::nullopt;
        }
        return present;
    }

    friend constexpr bool operator==(ActiveOverlayViews, ActiveOverlayViews) = default;
};

struct ActiveOverlayViews::InsertResult {
    bool inserted;                        // some bit of the member was missing
    ActiveOverlayViews memberAfterInsert; // the member, or the bits already there
};

constexpr ActiveOverlayViews::InsertResult ActiveOverlayViews::insert(ActiveOverlayViews member) {
    const ActiveOverlayViews present = intersection(member);
    const bool missing = present != member;
    rawValue |= member.rawValue;
    return {missing, missing ? member : present};
}

inline constexpr ActiveOverlayViews ActiveOverlayViews::grid(std::int64_t{1});
inline constexpr ActiveOverlayViews ActiveOverlayViews::spiritLevel(std::int64_t{2});
inline constexpr ActiveOverlayViews ActiveOverlayViews::magnifier(std::int64_t{4});
inline constexpr ActiveOverlayViews ActiveOverlayViews::histogram(std::int64_t{8});

} // namespace qv
