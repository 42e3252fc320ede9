#include "platform/coremedia/cmtime.h"

#include <cmath>
#include <limits>
#include <numeric>

namespace quorvantel {
namespace {

__extension__ typedef __int128 i128;

constexpr i128 int64Max = std::numeric_limits<std::int64_t>::max();
constexpr i128 int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();

// numerator ÷ denominator (denominator > 0) with the rounding method; inexact tells
// whether anything was discarded.
i128 divideRounded(i128 numerator, i128 denominator, CMTimeRoundingMethod method, bool& inexact) {
    i128 quotient = numerator / denominator;  // truncates toward zero
    const i128 remainder = numerator % denominator;
    inexact = remainder != 0;
    if (!inexact) return quotient;
    const bool negative = numerator < 0;
    switch (method) {
        case kCMTimeRoundingMethod_RoundHalfAwayFromZero: {
            const i128 twice = (remainder < 0 ? -remainder : remainder) * 2;
            if (twice >= denominator) quotient += negative ? -1 : 1;
            break;
        }
        case kCMTimeRoundingMethod_RoundTowardZero: break;
        case kCMTimeRoundingMethod_RoundAwayFromZero: quotient += negative ? -1 : 1; break;
        case kCMTimeRoundingMethod_RoundTowardPositiveInfinity:
            if (!negative) quotient += 1;
            break;
        case kCMTimeRoundingMethod_RoundTowardNegativeInfinity:
            if (negative) quotient -= 1;
            break;
    }
    return quotient;
}

CMTime fromWide(i128 value, CMTimeScale timescale, std::uint32_t extraFlags) {
    if (value > int64Max) return kCMTimePositiveInfinity;
    if (value < int64Min) return kCMTimeNegativeInfinity;
    CMTime t = CMTimeMake(static_cast<CMTimeValue>(value), timescale);
    t.flags |= extraFlags;
    return t;
}

// Handles the operands that are not both numeric; returns true when result is set.
bool combineSpecial(CMTime lhs, CMTime rhs, bool subtract, CMTime& result) {
    if (!lhs.isValid() || !rhs.isValid()) {
        result = kCMTimeInvalid;
        return true;
    }
    if (lhs.isIndefinite() || rhs.isIndefinite()) {
        result = kCMTimeIndefinite;
        return true;
    }
    const bool rhsPositive = subtract ? rhs.isNegativeInfinity() : rhs.isPositiveInfinity();
    const bool rhsNegative = subtract ? rhs.isPositiveInfinity() : rhs.isNegativeInfinity();
    const bool positive = lhs.isPositiveInfinity() || rhsPositive;
    const bool negative = lhs.isNegativeInfinity() || rhsNegative;
    if (positive && negative) {
        result = kCMTimeIndefinite;
        return true;
    }
    if (positive) {
        result = kCMTimePositiveInfinity;
        return true;
    }
    if (negative) {
        result = kCMTimeNegativeInfinity;
        return true;
    }
    if (lhs.epoch != rhs.epoch) {
        result = kCMTimeInvalid;
        return true;
    }
    return false;
}

CMTime combine(CMTime lhs, CMTime rhs, bool subtract) {
    CMTime special;
    if (combineSpecial(lhs, rhs, subtract, special)) return special;
    const i128 b = subtract ? -i128(rhs.value) : i128(rhs.value);
    std::uint32_t rounded = (lhs.flags | rhs.flags) & kCMTimeFlags_HasBeenRounded;
    CMTime result;
    if (lhs.timescale == rhs.timescale) {
        result = fromWide(i128(lhs.value) + b, lhs.timescale, rounded);
    } else {
        const std::int64_t common = std::lcm<std::int64_t>(lhs.timescale, rhs.timescale);
        if (common <= int32Max) {
            const i128 sum = i128(lhs.value) * (common / lhs.timescale) + b * (common / rhs.timescale);
            result = fromWide(sum, static_cast<CMTimeScale>(common), rounded);
        } else {
            // No exact 32-bit timescale: keep the finer one and round, as CoreMedia does.
            const CMTimeScale scale = std::max(lhs.timescale, rhs.timescale);
            bool inexactA = false, inexactB = false;
            const i128 a = divideRounded(i128(lhs.value) * scale, lhs.timescale,
                                         kCMTimeRoundingMethod_RoundHalfAwayFromZero, inexactA);
            const i128 c = divideRounded(b * scale, rhs.timescale,
                                         kCMTimeRoundingMethod_RoundHalfAwayFromZero, inexactB);
            if (inexactA || inexactB) rounded |= kCMTimeFlags_HasBeenRounded;
            result = fromWide(a + c, scale, rounded);
        }
    }
    if (result.isNumeric()) result.epoch = lhs.epoch;
    return result;
}

int rank(CMTime t) {
    if (!t.isValid()) return 4;
    if (t.isIndefinite()) return 3;
    if (t.isPositiveInfinity()) return 2;
    if (t.isNegativeInfinity()) return 0;
    return 1;
}

}  // namespace

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
    if (timescale <= 0) return kCMTimeInvalid;
    return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale) {
    if (preferredTimescale <= 0 || std::isnan(seconds)) return kCMTimeInvalid;
    if (std::isinf(seconds)) return seconds > 0 ? kCMTimePositiveInfinity : kCMTimeNegativeInfinity;
    const double scaled = seconds * double(preferredTimescale);
    if (scaled >= 9.2233720368547758e18) return kCMTimePositiveInfinity;
    if (scaled <= -9.2233720368547758e18) return kCMTimeNegativeInfinity;
    const double nearest = std::round(scaled);  // half away from zero
    CMTime t = CMTimeMake(static_cast<CMTimeValue>(nearest), preferredTimescale);
    if (nearest != scaled) t.flags |= kCMTimeFlags_HasBeenRounded;
    return t;
}

CMTime CMTimeAdd(CMTime lhs, CMTime rhs) { return combine(lhs, rhs, false); }

CMTime CMTimeSubtract(CMTime lhs, CMTime rhs) { return combine(lhs, rhs, true); }

int CMTimeCompare(CMTime lhs, CMTime rhs) {
    const int a = rank(lhs), b = rank(rhs);
    if (a != b) return a < b ? -1 : 1;
    if (a != 1) return 0;
    if (lhs.epoch != rhs.epoch) return lhs.epoch < rhs.epoch ? -1 : 1;
    const i128 left = i128(lhs.value) * rhs.timescale;
    const i128 right = i128(rhs.value) * lhs.timescale;
    return left < right ? -1 : (left > right ? 1 : 0);
}

CMTime CMTimeConvertScale(CMTime time, CMTimeScale newTimescale, CMTimeRoundingMethod method) {
    if (!time.isNumeric() || newTimescale <= 0) {
        return newTimescale <= 0 ? kCMTimeInvalid : time;
    }
    bool inexact = false;
    const i128 value = divideRounded(i128(time.value) * newTimescale, time.timescale, method, inexact);
    std::uint32_t flags = time.flags & kCMTimeFlags_HasBeenRounded;
    if (inexact) flags |= kCMTimeFlags_HasBeenRounded;
    CMTime result = fromWide(value, newTimescale, flags);
    if (result.isNumeric()) result.epoch = time.epoch;
    return result;
}

double CMTimeGetSeconds(CMTime time) {
    if (time.isPositiveInfinity()) return std::numeric_limits<double>::infinity();
    if (time.isNegativeInfinity()) return -std::numeric_limits<double>::infinity();
    if (!time.isNumeric()) return std::numeric_limits<double>::quiet_NaN();
    return double(time.value) / double(time.timescale);
}

bool CMTimeRange::isValid() const {
    return start.isValid() && duration.isValid() && duration.epoch == 0 && duration.value >= 0;
}

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration) {
    if (!start.isValid() || !duration.isValid()) return CMTimeRange{kCMTimeInvalid, kCMTimeInvalid};
    return CMTimeRange{start, duration};
}

CMTime CMTimeRangeGetEnd(CMTimeRange range) { return CMTimeAdd(range.start, range.duration); }

}  // namespace quorvantel
