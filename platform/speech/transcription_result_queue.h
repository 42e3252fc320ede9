// The results of one transcriber module between the analyzer that produces them and
// the session thread that reads them, in order. A recogniser implementation keeps
// one per transcriber.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/speech/speech_transcriber.h"

namespace quorvantel {

class TranscriptionResultQueue {
public:
    // Waits for the next result; nothing once the results have ended. Raises
    // SpeechPlatformError when they ended with a failure.
    std::optional<SpeechTranscriptionResult> next() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return !results_.empty() || ended_; });
        if (!results_.empty()) {
            SpeechTranscriptionResult result = std::move(results_.front());
            results_.pop_front();
            return result;
        }
        if (failure_) throw SpeechPlatformError(*failure_);
        return std::nullopt;
    }

    // Ignored once the results have ended.
    void deliver(SpeechTranscriptionResult result) {
        std::lock_guard<std::mutex> guard(lock_);
        if (ended_) return;
        results_.push_back(std::move(result));
        changed_.notify_all();
    }

    // Ends the results after those already delivered.
    void end() { close(std::nullopt, false); }
    // Ends the results at once: what was delivered and not yet read is dropped, and
    // the reader meets the failure, if one is given.
    void endNow(std::optional<std::string> failure = std::nullopt) { close(std::move(failure), true); }

private:
    void close(std::optional<std::string> failure, bool dropPending) {
        std::lock_guard<std::mutex> guard(lock_);
        if (ended_) return;
        ended_ = true;
        failure_ = std::move(failure);
        if (dropPending) results_.clear();
        changed_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<SpeechTranscriptionResult> results_;
    bool ended_ = false;
    std::optional<std::string> failure_;
};

}  // namespace quorvantel
