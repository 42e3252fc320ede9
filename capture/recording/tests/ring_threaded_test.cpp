#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

#include "capture/recording/ring.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

// A producer thread and the consumer hand over packets whose every byte carries the
// packet's number: the consumer must see each packet whole, once and in order.
TEST(RingThreaded, HandsOverWholePacketsInOrderBetweenTwoThreads) {
    constexpr std::uint32_t kPackets = 2'000;
    constexpr std::uint32_t kBytes = 4'096;
    auto ring = std::make_unique<Ring>();
    ring->configure(4, 2, testing::pcmFormat(testing::SampleType::float32));
    std::atomic<bool> producerDone{false};

    std::thread producer([&] {
        std::vector<std::uint8_t> bytes(kBytes);
        for (std::uint32_t n = 0; n < kPackets; ++n) {
            // The callback never waits; here the producer waits for room so that the
            // test hands over every packet instead of overrunning.
            while (ring->writeIndex() - ring->readIndex() >= kRingSlots) std::this_thread::yield();
            std::memset(bytes.data(), int(n % 251), bytes.size());
            AudioBufferList list;
            list.mNumberBuffers = 1;
            list.mBuffers[0] = AudioBuffer{2, kBytes - (n % 8) * 8, bytes.data()};
            ring->push(&list, CMTimeMake(n, 48'000), CMTimeMake(n + 1, 48'000));
        }
        producerDone.store(true, std::memory_order_release);
    });

    std::uint32_t received = 0;
    while (received < kPackets) {
        if (ring->empty()) {
            if (producerDone.load(std::memory_order_acquire) && ring->empty()) break;
            std::this_thread::yield();
            continue;
        }
        const Packet& p = ring->front();
        ASSERT_EQ(p.sourceTime, CMTimeMake(received, 48'000));
        ASSERT_EQ(p.frames, (kBytes - (received % 8) * 8) / 8);
        for (std::uint32_t i = 0; i < p.frames * 8; ++i) ASSERT_EQ(p.data[i], std::uint8_t(received % 251));
        ring->release();
        ++received;
    }
    producer.join();
    EXPECT_EQ(received, kPackets);
    EXPECT_EQ(ring->status(), kRingRunning);
}

}  // namespace
}  // namespace quorvantel::capture
