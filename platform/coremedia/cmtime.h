// Exact rational media time, after CoreMedia's CMTime and CMTimeRange.
//
// Arithmetic and comparison work across timescales without rounding: intermediates
// are 128-bit, which covers every product of a seven-day recording time and a
// timescale. Only a sum whose exact timescale would not fit 32 bits is rounded (and
// flagged as rounded), as CoreMedia does.
#pragma once

#include <cstdint>

namespace quorvantel {

using CMTimeValue = std::int64_t;
using CMTimeScale = std::int32_t;
using CMTimeEpoch = std::int64_t;

enum CMTimeFlags : std::uint32_t {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
    kCMTimeFlags_PositiveInfinity = 1u << 2,
    kCMTimeFlags_NegativeInfinity = 1u << 3,
    kCMTimeFlags_Indefinite = 1u << 4,
    kCMTimeFlags_ImpliedValueFlagsMask =
        kCMTimeFlags_PositiveInfinity | kCMTimeFlags_NegativeInfinity | kCMTimeFlags_Indefinite,
};

enum class CMTimeRoundingMethod {
    kCMTimeRoundingMethod_RoundHalfAwayFromZero = 1,
    kCMTimeRoundingMethod_RoundTowardZero = 2,
    kCMTimeRoundingMethod_RoundAwayFromZero = 3,
    kCMTimeRoundingMethod_RoundTowardPositiveInfinity = 5,
    kCMTimeRoundingMethod_RoundTowardNegativeInfinity = 6,
};
inline constexpr auto kCMTimeRoundingMethod_RoundHalfAwayFromZero =
    CMTimeRoundingMethod::kCMTimeRoundingMethod_RoundHalfAwayFromZero;
inline constexpr auto kCMTimeRoundingMethod_RoundTowardZero =
    CMTimeRoundingMethod::kCMTimeRoundingMethod_RoundTowardZero;
inline constexpr auto kCMTimeRoundingMethod_RoundAwayFromZero =
    CMTimeRoundingMethod::kCMTimeRoundingMethod_RoundAwayFromZero;
inline constexpr auto kCMTimeRoundingMethod_RoundTowardPositiveInfinity =
    CMTimeRoundingMethod::kCMTimeRoundingMethod_RoundTowardPositiveInfinity;
inline constexpr auto kCMTimeRoundingMethod_RoundTowardNegativeInfinity =
    CMTimeRoundingMethod::kCMTimeRoundingMethod_RoundTowardNegativeInfinity;

struct CMTime {
    CMTimeValue value = 0;
    CMTimeScale timescale = 0;
    std::uint32_t flags = 0;
    CMTimeEpoch epoch = 0;

    bool isValid() const { return (flags & kCMTimeFlags_Valid) != 0; }
    bool isNumeric() const {
        return isValid() && (flags & kCMTimeFlags_ImpliedValueFlagsMask) == 0;
    }
    bool hasBeenRounded() const { return (flags & kCMTimeFlags_HasBeenRounded) != 0; }
    bool isPositiveInfinity() const {
        return isValid() && (flags & kCMTimeFlags_PositiveInfinity) != 0;
    }
    bool isNegativeInfinity() const {
        return isValid() && (flags & kCMTimeFlags_NegativeInfinity) != 0;
    }
    bool isIndefinite() const { return isValid() && (flags & kCMTimeFlags_Indefinite) != 0; }
};

inline constexpr CMTime kCMTimeInvalid{0, 0, 0, 0};
inline constexpr CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};
inline constexpr CMTime kCMTimePositiveInfinity{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_PositiveInfinity, 0};
inline constexpr CMTime kCMTimeNegativeInfinity{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity, 0};
inline constexpr CMTime kCMTimeIndefinite{0, 0, kCMTimeFlags_Valid | kCMTimeFlags_Indefinite, 0};

// value ÷ timescale seconds; a timescale of zero or less gives an invalid time.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
// The nearest time at that timescale, rounding half away from zero.
CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale);
CMTime CMTimeAdd(CMTime lhs, CMTime rhs);
CMTime CMTimeSubtract(CMTime lhs, CMTime rhs);
// −1, 0 or 1. Negative infinity < numeric times < positive infinity < indefinite <
// invalid; numeric times of different epochs order by epoch first.
int CMTimeCompare(CMTime lhs, CMTime rhs);
CMTime CMTimeConvertScale(CMTime time, CMTimeScale newTimescale, CMTimeRoundingMethod method);
double CMTimeGetSeconds(CMTime time);

inline bool operator==(CMTime a, CMTime b) { return CMTimeCompare(a, b) == 0; }
inline bool operator<(CMTime a, CMTime b) { return CMTimeCompare(a, b) < 0; }
inline bool operator<=(CMTime a, CMTime b) { return CMTimeCompare(a, b) <= 0; }
inline bool operator>(CMTime a, CMTime b) { return CMTimeCompare(a, b) > 0; }
inline bool operator>=(CMTime a, CMTime b) { return CMTimeCompare(a, b) >= 0; }
inline CMTime operator+(CMTime a, CMTime b) { return CMTimeAdd(a, b); }
inline CMTime operator-(CMTime a, CMTime b) { return CMTimeSubtract(a, b); }

struct CMTimeRange {
    CMTime start;
    CMTime duration;

    // Start and duration valid, the duration of epoch 0 and not negative.
    bool isValid() const;
};

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration);
CMTime CMTimeRangeGetEnd(CMTimeRange range);

}  // namespace quorvantel
