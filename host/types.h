#pragma once
// Basic value types of the host boundary: class identifiers, time, validity intervals and the
// opaque handles that cross between a plug-in and the host.
#include <cstdint>
#include <limits>

// Super class identifier: the family a class belongs to (geometric object, light, material, ...).
using SClass_ID = uint32_t;

// Two-word class identifier. A class is known to the host by (super class id, class id).
class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(uint32_t a, uint32_t b) : a_(a), b_(b) {}
    constexpr uint32_t PartA() const { return a_; }
    constexpr uint32_t PartB() const { return b_; }
    constexpr void SetPartA(uint32_t a) { a_ = a; }
    constexpr void SetPartB(uint32_t b) { b_ = b; }
    constexpr bool operator==(const Class_ID& other) const { return a_ == other.a_ && b_ == other.b_; }
    constexpr bool operator!=(const Class_ID& other) const { return !(*this == other); }
    constexpr bool operator<(const Class_ID& other) const {
        return a_ < other.a_ || (a_ == other.a_ && b_ < other.b_);
    }

private:
    // The unset class id is all ones, as the host reports for "no class".
    uint32_t a_ = 0xFFFFFFFFu;
    uint32_t b_ = 0xFFFFFFFFu;
};

// Two-word identifier of a function-published interface (queried with GetInterface(Interface_ID)).
class Interface_ID {
public:
    constexpr Interface_ID() = default;
    constexpr Interface_ID(uint32_t a, uint32_t b) : a_(a), b_(b) {}
    constexpr uint32_t PartA() const { return a_; }
    constexpr uint32_t PartB() const { return b_; }
    constexpr bool operator==(const Interface_ID& other) const { return a_ == other.a_ && b_ == other.b_; }
    constexpr bool operator!=(const Interface_ID& other) const { return !(*this == other); }
    constexpr bool operator<(const Interface_ID& other) const {
        return a_ < other.a_ || (a_ == other.a_ && b_ < other.b_);
    }

private:
    uint32_t a_ = 0;
    uint32_t b_ = 0;
};

// Host time in ticks; 4800 ticks make one second.
using TimeValue = int32_t;
inline constexpr TimeValue TIME_TICKSPERSEC = 4800;
inline constexpr TimeValue TIME_NegInfinity = std::numeric_limits<TimeValue>::min();
inline constexpr TimeValue TIME_PosInfinity = std::numeric_limits<TimeValue>::max();

// A closed range of time [start, end]; used for the animation range and for validity.
class Interval {
public:
    constexpr Interval() = default;
    constexpr Interval(TimeValue start, TimeValue end) : start_(start), end_(end) {}
    constexpr TimeValue Start() const { return start_; }
    constexpr TimeValue End() const { return end_; }
    constexpr void SetStart(TimeValue t) { start_ = t; }
    constexpr void SetEnd(TimeValue t) { end_ = t; }
    constexpr void Set(TimeValue start, TimeValue end) { start_ = start; end_ = end; }
    constexpr bool Empty() const { return end_ < start_; }
    constexpr bool InInterval(TimeValue t) const { return start_ <= t && t <= end_; }
    // Intersection (the host's &= on intervals).
    constexpr Interval& operator&=(const Interval& other) {
        if (other.start_ > start_) start_ = other.start_;
        if (other.end_ < end_) end_ = other.end_;
        return *this;
    }
    constexpr bool operator==(const Interval& other) const {
        return start_ == other.start_ && end_ == other.end_;
    }

private:
    TimeValue start_ = TIME_NegInfinity;
    TimeValue end_ = TIME_NegInfinity;
};

inline constexpr Interval FOREVER{TIME_NegInfinity, TIME_PosInfinity};
inline constexpr Interval NEVER{TIME_NegInfinity, TIME_NegInfinity};

// Material id of a face (upper 16 bits of its flags).
using MtlID = uint16_t;

// Parameter-block identifiers.
using ParamID = int16_t;
using BlockID = int16_t;

// Reference messages and the parts of an object a change concerns.
using RefMessage = uint32_t;
using PartID = uint32_t;

// Opaque handle of a host window (the main window, a dialog). Plug-ins only pass it back to the host.
using WindowHandle = void*;
