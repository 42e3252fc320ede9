// The back-pressured queue between the driver and one recogniser: a single producer
// waits while 16 elements are queued, a single consumer waits while none are. It ends
// normally (the consumer drains it) or with a failure (everything queued is
// discarded and both sides see the failure). Nothing is dropped or reordered
// otherwise.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>

#include "speech/speech_failure.h"

namespace quorvantel::speech {

inline constexpr std::size_t kChannelCapacity = 16;
inline constexpr const char* kChannelFinishedMessage = "Speech input has already finished.";
inline constexpr const char* kChannelClosedMessage = "Speech input was closed.";

template <typename Element>
class BoundedChannel {
public:
    BoundedChannel() = default;
    BoundedChannel(const BoundedChannel&) = delete;
    BoundedChannel& operator=(const BoundedChannel&) = delete;

    // Hands one element to the consumer, waiting while the queue is full.
    void send(Element element) {
        std::unique_lock<std::mutex> guard(lock_);
        if (failure_) std::rethrow_exception(failure_);
        if (ended_) throw SpeechFailure(kChannelFinishedMessage);
        if (receiverWaiting_) {
            // The waiting consumer takes it directly; it never enters the queue.
            receiverWaiting_ = false;
            handedOver_ = std::move(element);
            changed_.notify_all();
            return;
        }
        if (queued_.size() < kChannelCapacity) {
            queued_.push_back(std::move(element));
            return;
        }
        senderWaiting_ = true;
        sent_.reset();
        held_ = std::move(element);
        changed_.notify_all();
        changed_.wait(guard, [&] { return !senderWaiting_; });
        if (sent_ && *sent_) return;
        std::rethrow_exception(senderResult_);
    }

    // The oldest element; nothing once the channel has ended and drained.
    std::optional<Element> next() {
        std::unique_lock<std::mutex> guard(lock_);
        if (failure_) std::rethrow_exception(failure_);
        if (!queued_.empty()) {
            Element first = std::move(queued_.front());
            queued_.pop_front();
            if (senderWaiting_) {
                queued_.push_back(std::move(*held_));
                held_.reset();
                senderWaiting_ = false;
                sent_ = true;
                changed_.notify_all();
            }
            return first;
        }
        if (ended_) return std::nullopt;
        receiverWaiting_ = true;
        changed_.wait(guard, [&] { return !receiverWaiting_; });
        if (handedOver_) {
            Element element = std::move(*handedOver_);
            handedOver_.reset();
            return element;
        }
        if (failure_) std::rethrow_exception(failure_);
        return std::nullopt;
    }

    // Closes the channel; only the first call counts. Never waits.
    void finish(std::exception_ptr failure = nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        if (ended_) return;
        ended_ = true;
        failure_ = failure;
        if (receiverWaiting_) receiverWaiting_ = false;
        if (senderWaiting_) {
            held_.reset();
            senderWaiting_ = false;
            sent_ = false;
            senderResult_ = failure ? failure : std::make_exception_ptr(SpeechFailure(kChannelClosedMessage));
        }
        if (failure) queued_.clear();
        changed_.notify_all();
    }

    std::size_t queuedCount() {
        std::lock_guard<std::mutex> guard(lock_);
        return queued_.size();
    }
    bool senderWaiting() {
        std::lock_guard<std::mutex> guard(lock_);
        return senderWaiting_;
    }
    bool receiverWaiting() {
        std::lock_guard<std::mutex> guard(lock_);
        return receiverWaiting_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Element> queued_;
    bool receiverWaiting_ = false;
    std::optional<Element> handedOver_;
    bool senderWaiting_ = false;
    std::optional<Element> held_;
    std::optional<bool> sent_;
    std::exception_ptr senderResult_;
    bool ended_ = false;
    std::exception_ptr failure_;
};

// The consumer's view of a channel as a sequence.
template <typename Element>
class ChannelSequence {
public:
    explicit ChannelSequence(BoundedChannel<Element>& channel) : channel_(channel) {}
    std::optional<Element> next() { return channel_.next(); }

private:
    BoundedChannel<Element>& channel_;
};

}  // namespace quorvantel::speech
