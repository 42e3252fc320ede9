#include "platform/linux/pipewire/stream_clock.h"

#include <gtest/gtest.h>

namespace quorvantel::pipewire {
namespace {

constexpr std::uint64_t kStart = 5'000'000'000;
// 1024 frames at 48 kHz: 21,333,333.3 ns.
constexpr std::uint64_t kQuantumNs = 21'333'333;

TEST(StreamClock, BuffersFollowEachOtherExactlyThroughTimerJitter) {
    StreamClock clock(48'000);
    EXPECT_EQ(clock.place(kStart, 1024), kStart);
    // Reported times wobble by up to a millisecond either way; the buffers still
    // start where the previous ones ended, to the nanosecond of whole frames.
    const std::int64_t jitter[] = {900'000, -800'000, 0, 1'999'000, -1'999'000, 350'000};
    for (std::uint64_t n = 1; n <= 6; ++n) {
        const std::uint64_t reported = kStart + n * kQuantumNs + std::uint64_t(jitter[n - 1]);
        EXPECT_EQ(clock.place(reported, 1024), kStart + (n * 1024 * 1'000'000'000ull + 24'000) / 48'000) << n;
    }
}

TEST(StreamClock, APauseOfTheGraphStartsAnewAndNeverGoesBack) {
    StreamClock clock(48'000);
    clock.place(kStart, 480);  // 10 ms
    EXPECT_EQ(clock.place(kStart + 10'000'000, 480), kStart + 10'000'000);
    // 45 ms late: a real pause, so the time the stream reports counts.
    EXPECT_EQ(clock.place(kStart + 65'000'000, 480), kStart + 65'000'000);
    EXPECT_EQ(clock.place(kStart + 75'000'000, 480), kStart + 75'000'000);
    // Reported far too early: the clock keeps going forward instead of overlapping.
    EXPECT_EQ(clock.place(kStart + 40'000'000, 480), kStart + 85'000'000);
    // Just inside the tolerance is jitter, just past it a pause.
    EXPECT_EQ(clock.place(kStart + 95'000'000 + kReanchorToleranceNs, 480), kStart + 95'000'000);
    EXPECT_EQ(clock.place(kStart + 105'000'001 + kReanchorToleranceNs, 480), kStart + 105'000'001 + kReanchorToleranceNs);
}

TEST(StreamClock, OtherRatesCountTheirOwnFrames) {
    StreamClock clock(44'100);
    clock.place(0, 441);
    EXPECT_EQ(clock.place(10'000'000, 441), 10'000'000u);
    EXPECT_EQ(clock.place(20'000'000, 1), 20'000'000u);
    EXPECT_EQ(clock.place(20'000'000, 1), 20'022'676u);  // one frame: 22,675.7 ns
}

}  // namespace
}  // namespace quorvantel::pipewire
