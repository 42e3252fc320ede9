#include <array>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "capture/recording/ring.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

using testing::pcmFormat;
using testing::SampleType;

const CMTime kSource = CMTimeMake(1'000, 48'000);
const CMTime kReceipt = CMTimeMake(1'480, 48'000);

class RingTest : public ::testing::Test {
protected:
    // The ring is large; one per test on the heap.
    std::unique_ptr<Ring> ring = std::make_unique<Ring>();
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kPacketBytes * 2, 0x5A);

    void configureInt16() { ring->configure(2, 2, pcmFormat(SampleType::int16)); }

    AudioBufferList list(std::initializer_list<AudioBuffer> buffers) {
        AudioBufferList l;
        l.mNumberBuffers = std::uint32_t(buffers.size());
        std::size_t i = 0;
        for (const AudioBuffer& b : buffers) l.mBuffers[i++] = b;
        return l;
    }
    AudioBuffer buffer(std::uint32_t channels, std::uint32_t size, std::size_t at = 0) {
        return AudioBuffer{channels, size, bytes.data() + at};
    }
};

TEST_F(RingTest, CopiesAnInterleavedBufferWithItsTimes) {
    configureInt16();
    for (std::size_t i = 0; i < 16; ++i) bytes[i] = std::uint8_t(i);
    const AudioBufferList l = list({buffer(2, 16)});
    ring->push(&l, kSource, kReceipt);
    ASSERT_EQ(ring->size(), 1u);
    const Packet& p = ring->front();
    EXPECT_EQ(p.bufferCount, 1u);
    EXPECT_EQ(p.frames, 4u);
    EXPECT_EQ(p.channels[0], 2u);
    EXPECT_EQ(p.offsets[0], 0u);
    EXPECT_EQ(std::memcmp(p.data, bytes.data(), 16), 0);
    EXPECT_EQ(p.sourceTime, kSource);
    EXPECT_EQ(p.receiptTime, kReceipt);
    ring->release();
    EXPECT_TRUE(ring->empty());
    EXPECT_EQ(ring->status(), kRingRunning);
}

TEST_F(RingTest, PlacesPlanarBuffersOneAfterTheOther) {
    ring->configure(4, 2, pcmFormat(SampleType::float32, 48'000, 2, false));
    for (std::size_t i = 0; i < 8; ++i) bytes[i] = std::uint8_t(0x10 + i);
    for (std::size_t i = 0; i < 8; ++i) bytes[100 + i] = std::uint8_t(0x20 + i);
    const AudioBufferList l = list({buffer(1, 8, 0), buffer(1, 8, 100)});
    ring->push(&l, kSource, kReceipt);
    ASSERT_EQ(ring->size(), 1u);
    const Packet& p = ring->front();
    EXPECT_EQ(p.bufferCount, 2u);
    EXPECT_EQ(p.frames, 2u);
    EXPECT_EQ(p.offsets[1], 8u);
    EXPECT_EQ(p.channels[1], 1u);
    EXPECT_EQ(std::memcmp(p.data, bytes.data(), 8), 0);
    EXPECT_EQ(std::memcmp(p.data + 8, bytes.data() + 100, 8), 0);
}

TEST_F(RingTest, FillsAfter128PacketsAndThenRecordsTheOverrunOnce) {
    configureInt16();
    const AudioBufferList l = list({buffer(2, 1'920)});
    for (std::uint64_t i = 0; i < kRingSlots; ++i) ring->push(&l, kSource, kReceipt);
    EXPECT_EQ(ring->writeIndex(), kRingSlots);
    EXPECT_EQ(ring->status(), kRingRunning);
    ring->push(&l, kSource, kReceipt);
    EXPECT_EQ(ring->status(), kRingOverrun);
    EXPECT_EQ(ring->writeIndex(), kRingSlots);
    // Once failed, nothing more is queued, even with room again.
    ring->release();
    ring->push(&l, kSource, kReceipt);
    EXPECT_EQ(ring->writeIndex(), kRingSlots);
    EXPECT_EQ(ring->status(), kRingOverrun);
}

TEST_F(RingTest, MalformedListsRecordStatusTwoAndQueueNothing) {
    struct Case {
        const char* name;
        std::uint32_t bytesPerSample;
        std::function<AudioBufferList()> make;
    };
    const std::vector<Case> cases = {
        {"three bytes of 16-bit stereo", 2, [&] { return list({buffer(2, 3)}); }},
        {"three buffers", 2, [&] { return list({buffer(1, 4), buffer(1, 4), buffer(1, 4)}); }},
        {"no sample size yet", 0, [&] { return list({buffer(2, 4)}); }},
        {"buffer without channels", 2, [&] { return list({buffer(0, 4)}); }},
        {"more channels than the stream", 2, [&] { return list({buffer(3, 12)}); }},
        {"buffer larger than a slot", 2, [&] { return list({buffer(2, kPacketBytes + 4)}); }},
        {"data missing", 2, [&] { return list({AudioBuffer{2, 4, nullptr}}); }},
        {"channels do not add up", 2, [&] { return list({buffer(1, 4)}); }},
        {"second buffer of other length", 2, [&] { return list({buffer(1, 4), buffer(1, 6)}); }},
        {"second buffer without channels", 2, [&] { return list({buffer(1, 4), AudioBuffer{0, 0, nullptr}}); }},
        {"second buffer past the slot", 2,
         [&] { return list({buffer(1, kPacketBytes / 2 + 2), buffer(1, kPacketBytes / 2 + 2)}); }},
        {"second buffer data missing", 2, [&] { return list({buffer(1, 4), AudioBuffer{1, 4, nullptr}}); }},
        {"too many channels in all", 2, [&] { return list({buffer(2, 8), buffer(1, 4)}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ring = std::make_unique<Ring>();
        ring->configure(c.bytesPerSample, 2, pcmFormat(SampleType::int16));
        const AudioBufferList l = c.make();
        ring->push(&l, kSource, kReceipt);
        EXPECT_EQ(ring->status(), kRingMalformedInput);
        EXPECT_EQ(ring->writeIndex(), 0u);
    }
}

TEST_F(RingTest, EmptyListsAndEmptyBuffersAreIgnored) {
    configureInt16();
    ring->push(nullptr, kSource, kReceipt);
    AudioBufferList none;
    none.mNumberBuffers = 0;
    ring->push(&none, kSource, kReceipt);
    const AudioBufferList empty = list({AudioBuffer{2, 0, nullptr}});
    ring->push(&empty, kSource, kReceipt);
    EXPECT_EQ(ring->status(), kRingRunning);
    EXPECT_EQ(ring->writeIndex(), 0u);
}

TEST_F(RingTest, TheFirstFailureStays) {
    configureInt16();
    ring->fail(kRingClockUnusable);
    ring->fail(kRingMalformedInput);
    EXPECT_EQ(ring->status(), kRingClockUnusable);
}

}  // namespace
}  // namespace quorvantel::capture
