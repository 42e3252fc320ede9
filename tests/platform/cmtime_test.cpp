#include "platform/coremedia/cmtime.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace quorvantel;

TEST(CMTime, SumsAcrossTimescalesCompareExactly) {
    const CMTime sum = CMTimeAdd(CMTimeMake(1, 48000), CMTimeMake(1, 16000));
    EXPECT_EQ(CMTimeCompare(sum, CMTimeMake(4, 48000)), 0);
    EXPECT_FALSE(sum.hasBeenRounded());
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 3), CMTimeMake(333333333, 1000000000)), 1);
    EXPECT_EQ(CMTimeCompare(CMTimeSubtract(CMTimeMake(1, 44100), CMTimeMake(1, 48000)), kCMTimeZero), 1);
}

TEST(CMTime, ConvertScaleRoundsByMethod) {
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(1, 192000), 48000, kCMTimeRoundingMethod_RoundHalfAwayFromZero).value, 0);
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(-1, 192000), 48000, kCMTimeRoundingMethod_RoundTowardNegativeInfinity).value, -1);
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(2, 192000), 48000, kCMTimeRoundingMethod_RoundHalfAwayFromZero).value, 1);
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(-2, 192000), 48000, kCMTimeRoundingMethod_RoundHalfAwayFromZero).value, -1);
    EXPECT_EQ(CMTimeConvertScale(CMTimeMake(3, 192000), 48000, kCMTimeRoundingMethod_RoundTowardNegativeInfinity).value, 0);
    const CMTime exact = CMTimeConvertScale(CMTimeMake(4, 192000), 48000, kCMTimeRoundingMethod_RoundHalfAwayFromZero);
    EXPECT_EQ(exact.value, 1);
    EXPECT_FALSE(exact.hasBeenRounded());
}

TEST(CMTime, StaysExactNearTheSevenDayBound) {
    // Seven days of host time in nanoseconds against 48 kHz frames: the products
    // overflow 64 bits, the results must not.
    const CMTimeValue sevenDayFrames = 29'030'400'000;
    const CMTime frames = CMTimeMake(sevenDayFrames, 48000);
    EXPECT_EQ(CMTimeCompare(frames, CMTimeMake(604'800'000'000'000 / 1000, 1000000)), 0);
    EXPECT_EQ(CMTimeCompare(CMTimeAdd(frames, CMTimeMake(1, 48000)), frames), 1);
    const CMTime converted =
        CMTimeConvertScale(CMTimeMake(604'800LL * 1'000'000'000 + 1, 1'000'000'000), 48000,
                           kCMTimeRoundingMethod_RoundTowardNegativeInfinity);
    EXPECT_EQ(converted.value, sevenDayFrames);
    const CMTime later = CMTimeAdd(CMTimeMake(sevenDayFrames, 48000), CMTimeMake(7, 16000));
    EXPECT_EQ(later.value, sevenDayFrames + 21);
    EXPECT_EQ(later.timescale, 48000);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(frames), 604800.0);
}

TEST(CMTime, InvalidAndInfiniteOperands) {
    EXPECT_FALSE(CMTimeAdd(kCMTimeInvalid, CMTimeMake(1, 1)).isValid());
    EXPECT_FALSE(CMTimeMake(1, 0).isValid());
    EXPECT_TRUE(CMTimeAdd(kCMTimePositiveInfinity, CMTimeMake(1, 1)).isPositiveInfinity());
    EXPECT_TRUE(CMTimeSubtract(kCMTimePositiveInfinity, kCMTimePositiveInfinity).isIndefinite());
    EXPECT_LT(CMTimeCompare(CMTimeMake(INT64_MAX, 1), kCMTimePositiveInfinity), 0);
    EXPECT_GT(CMTimeCompare(kCMTimeInvalid, kCMTimePositiveInfinity), 0);
    EXPECT_TRUE(CMTimeAdd(CMTimeMake(INT64_MAX, 1), CMTimeMake(1, 1)).isPositiveInfinity());
    EXPECT_TRUE(std::isnan(CMTimeGetSeconds(kCMTimeInvalid)));
}

TEST(CMTimeRange, ValidityAndEnd) {
    EXPECT_TRUE(CMTimeRangeMake(CMTimeMake(1, 2), CMTimeMake(1, 4)).isValid());
    EXPECT_FALSE(CMTimeRangeMake(CMTimeMake(1, 2), CMTimeMake(-1, 4)).isValid());
    EXPECT_FALSE(CMTimeRangeMake(kCMTimeInvalid, CMTimeMake(1, 4)).isValid());
    EXPECT_EQ(CMTimeCompare(CMTimeRangeGetEnd(CMTimeRangeMake(CMTimeMake(1, 2), CMTimeMake(1, 4))),
                            CMTimeMake(3, 4)), 0);
}

TEST(CMTime, MakeWithSecondsTakesTheNearestValue) {
    EXPECT_EQ(CMTimeMakeWithSeconds(0.0125, 48000).value, 600);
    EXPECT_EQ(CMTimeMakeWithSeconds(1.0 / 96000.0, 48000).value, 1);
    EXPECT_TRUE(CMTimeMakeWithSeconds(1.0 / 96000.0, 48000).hasBeenRounded());
}
