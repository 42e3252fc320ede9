#include "speech/bounded_channel.h"

#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace quorvantel::speech;

namespace {

// Waits until the condition holds; the channel's waiting states are observable.
template <typename Condition>
void eventually(Condition condition) {
    for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(condition());
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

}  // namespace

TEST(BoundedChannel, DeliversEverythingInOrderWhileTheProducerWaitsAtCapacity) {
    BoundedChannel<int> channel;
    std::vector<int> received;
    bool sawFullQueue = false;
    std::thread producer([&] {
        for (int i = 0; i < 64; ++i) channel.send(i);
        channel.finish();
    });
    // Let the producer fill the queue before consuming.
    eventually([&] { return channel.senderWaiting(); });
    sawFullQueue = channel.queuedCount() == kChannelCapacity;
    while (auto value = channel.next()) received.push_back(*value);
    producer.join();
    EXPECT_TRUE(sawFullQueue);
    ASSERT_EQ(received.size(), 64u);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(received[i], i);
}

TEST(BoundedChannel, AWaitingConsumerTakesTheElementDirectly) {
    BoundedChannel<int> channel;
    std::optional<int> got;
    std::thread consumer([&] { got = channel.next(); });
    eventually([&] { return channel.receiverWaiting(); });
    channel.send(7);
    consumer.join();
    EXPECT_EQ(got, 7);
    EXPECT_EQ(channel.queuedCount(), 0u);
}

TEST(BoundedChannel, NormalFinishDrainsTheQueueAndFailsTheWaitingProducer) {
    {
        BoundedChannel<int> channel;
        for (int i = 0; i < 5; ++i) channel.send(i);
        channel.finish();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(channel.next(), i);
        EXPECT_EQ(channel.next(), std::nullopt);
        EXPECT_EQ(failureOf([&] { channel.send(9); }), "Speech input has already finished.");
    }
    {
        BoundedChannel<int> channel;
        for (int i = 0; i < 16; ++i) channel.send(i);
        std::string producerFailure;
        std::thread producer([&] { producerFailure = failureOf([&] { channel.send(16); }); });
        eventually([&] { return channel.senderWaiting(); });
        channel.finish();
        producer.join();
        EXPECT_EQ(producerFailure, "Speech input was closed.");
        for (int i = 0; i < 16; ++i) EXPECT_EQ(channel.next(), i);
        EXPECT_EQ(channel.next(), std::nullopt);
    }
}

TEST(BoundedChannel, FailingFinishDiscardsTheQueueAndReachesBothSides) {
    BoundedChannel<int> channel;
    for (int i = 0; i < 3; ++i) channel.send(i);
    channel.finish(std::make_exception_ptr(std::runtime_error("cancelled")));
    channel.finish();  // only the first finish counts
    EXPECT_EQ(failureOf([&] { channel.next(); }), "cancelled");
    EXPECT_EQ(failureOf([&] { channel.send(1); }), "cancelled");

    BoundedChannel<int> waiting;
    std::string consumerFailure;
    std::thread consumer([&] { consumerFailure = failureOf([&] { waiting.next(); }); });
    eventually([&] { return waiting.receiverWaiting(); });
    waiting.finish(std::make_exception_ptr(std::runtime_error("stopped")));
    consumer.join();
    EXPECT_EQ(consumerFailure, "stopped");

    BoundedChannel<int> full;
    for (int i = 0; i < 16; ++i) full.send(i);
    std::string producerFailure;
    std::thread producer([&] { producerFailure = failureOf([&] { full.send(16); }); });
    eventually([&] { return full.senderWaiting(); });
    full.finish(std::make_exception_ptr(std::runtime_error("recogniser failed")));
    producer.join();
    EXPECT_EQ(producerFailure, "recogniser failed");
}
