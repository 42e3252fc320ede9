#include "platform/sim/speech/sim_speech_transcriber.h"

namespace quorvantel::sim {

std::optional<SpeechTranscriptionResult> SimSpeechTranscriber::nextResult() {
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

void SimSpeechTranscriber::deliver(SpeechTranscriptionResult result) {
    std::lock_guard<std::mutex> guard(lock_);
    if (ended_) return;
    results_.push_back(std::move(result));
    changed_.notify_all();
}

void SimSpeechTranscriber::end(std::optional<std::string> failure) {
    std::lock_guard<std::mutex> guard(lock_);
    if (ended_) return;
    ended_ = true;
    failure_ = std::move(failure);
    // A failed or cancelled recogniser delivers nothing more.
    if (failure_) results_.clear();
    changed_.notify_all();
}

}  // namespace quorvantel::sim
