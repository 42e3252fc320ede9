#include "platform/linux/pocketsphinx/decoder_timeline.h"

#include <gtest/gtest.h>

using namespace quorvantel;
using namespace quorvantel::pocketsphinx;

namespace {

double ms(CMTime time) { return CMTimeGetSeconds(time) * 1000; }

}  // namespace

// Inputs of 100 ms from 0 ms, one re-anchored to 5,000 ms, then a hole of 2 s that
// the driver filled with silence (an input starting where the last one ended), then
// a microphone input slightly before the end of the previous one.
TEST(DecoderTimeline, MapsDecoderSamplesThroughTheInputsStartTimes) {
    DecoderTimeline timeline;
    timeline.append(CMTimeMake(0, 1000), 1600);           // decoder 0..1600: 0..100 ms
    timeline.append(CMTimeMake(100, 1000), 1600);         // continues: 100..200 ms
    timeline.append(CMTimeMake(5000, 1000), 1600);        // re-anchored: 5000..5100 ms
    timeline.append(CMTimeMake(5100, 1000), 32000);       // a filled 2 s hole
    timeline.append(CMTimeMake(7100, 1000), 800);         // after it: 7100..7150 ms
    timeline.append(CMTimeMake(1, 1000), 160);            // back in time: 1..11 ms
    EXPECT_EQ(timeline.samplesFed(), 1600 * 3 + 32000 + 800 + 160);

    struct Case {
        std::int64_t position;
        double start, end;
    };
    const Case cases[] = {
        {0, 0, 0},
        {160, 10, 10},
        // Inside the continued input the timeline runs on.
        {2400, 150, 150},
        // At a re-anchor the audio before it ends at 200 ms and the next starts at 5 s.
        {3200, 5000, 200},
        {3360, 5010, 5010},
        // The filled hole runs on as audio.
        {4800, 5100, 5100},
        {4800 + 32000, 7100, 7100},
        {4800 + 32000 + 400, 7125, 7125},
        {4800 + 32800, 1, 7150},
        {4800 + 32800 + 80, 6, 6},
        // Past the audio fed the time is held at its end.
        {4800 + 32960, 11, 11},
        {1'000'000, 11, 11},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ms(timeline.startTime(c.position)), c.start) << c.position;
        EXPECT_DOUBLE_EQ(ms(timeline.endTime(c.position)), c.end) << c.position;
    }
}

TEST(DecoderTimeline, KeepsExactTimesOffTheSampleGrid) {
    DecoderTimeline timeline;
    // 12.5 ms and a start on the 48 kHz grid that 16 kHz samples do not meet.
    timeline.append(CMTimeMake(25, 2000), 16);
    timeline.append(CMTimeMake(1, 48000), 16);
    EXPECT_EQ(CMTimeCompare(timeline.startTime(8), CMTimeMake(13, 1000)), 0);
    EXPECT_EQ(CMTimeCompare(timeline.endTime(16), CMTimeMake(135, 10000)), 0);
    EXPECT_EQ(CMTimeCompare(timeline.startTime(16), CMTimeMake(1, 48000)), 0);
    EXPECT_EQ(CMTimeCompare(timeline.startTime(24), CMTimeAdd(CMTimeMake(1, 48000), CMTimeMake(8, 16000))), 0);
}

TEST(DecoderTimeline, ForgetsOnlyInputsThatEndedBeforeThePosition) {
    DecoderTimeline timeline;
    timeline.append(CMTimeMake(0, 1000), 1600);
    timeline.append(CMTimeMake(1000, 1000), 1600);
    timeline.append(CMTimeMake(2000, 1000), 1600);
    timeline.forgetBefore(1601);
    // The first input is gone: earlier positions are held at the oldest one kept.
    EXPECT_DOUBLE_EQ(ms(timeline.startTime(0)), 1000);
    EXPECT_DOUBLE_EQ(ms(timeline.startTime(1700)), 1006.25);
    EXPECT_DOUBLE_EQ(ms(timeline.startTime(3200)), 2000);
    // The last input is never forgotten.
    timeline.forgetBefore(1'000'000);
    EXPECT_DOUBLE_EQ(ms(timeline.startTime(3300)), 2006.25);
    EXPECT_DOUBLE_EQ(ms(timeline.endTime(4800)), 2100);
}
