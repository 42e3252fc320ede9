#include "speech/stream_session.h"

#include "speech/signal_watcher.h"
#include "speech/speech_failure.h"
#include "speech/transcript_timing.h"

namespace quorvantel::speech {
namespace {

std::string describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
        return "The operation couldn't be completed.";
    }
}

// The analyzer reads the session's channel through this.
class ChannelInputs final : public AnalyzerInputSequence {
public:
    explicit ChannelInputs(BoundedChannel<AnalyzerInput>& channel) : sequence_(channel) {}
    std::optional<AnalyzerInput> next() override { return sequence_.next(); }

private:
    ChannelSequence<AnalyzerInput> sequence_;
};

}  // namespace

void SessionFailures::add(const std::shared_ptr<StreamSession>& session) {
    std::lock_guard<std::mutex> guard(lock_);
    sessions_.push_back(session);
}

void SessionFailures::report(std::exception_ptr failure) {
    std::vector<std::weak_ptr<StreamSession>> sessions;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (failed_) return;
        failed_ = true;
        sessions = sessions_;
    }
    control_.output.error(describe(failure));
    // The stops below wait on the recogniser; this bounds how long they may take.
    auto exitProcess = control_.exitProcess;
    startThread([exitProcess] {
        std::this_thread::sleep_for(kFailureExitWatchdog);
        exitProcess(1);
    }).detach();
    for (const auto& weak : sessions) {
        if (auto session = weak.lock()) session->cancelImmediately();
    }
    control_.exitProcess(1);
}

std::shared_ptr<StreamSession> StreamSession::make(Source source, std::shared_ptr<SpeechTranscriber> transcriber,
                                                   const AVAudioFormat& format, SpeechFramework& speech,
                                                   std::shared_ptr<SessionFailures> failures, ProtocolOutput& output,
                                                   const RecognizerWording& wording) {
    std::unique_ptr<SpeechAnalyzer> analyzer = speech.makeAnalyzer({transcriber}, SpeechAnalyzerOptions{});
    analyzer->prepareToAnalyze(format);
    std::shared_ptr<StreamSession> session(
        new StreamSession(source, std::move(transcriber), std::move(analyzer), std::move(failures), output, wording));
    // Each thread keeps the session alive until it completes.
    std::lock_guard<std::mutex> guard(session->threadLock_);
    session->analysis_ = startThread([session] { session->runAnalysis(); });
    session->results_ = startThread([session] { session->runResults(); });
    return session;
}

StreamSession::StreamSession(Source source, std::shared_ptr<SpeechTranscriber> transcriber,
                             std::unique_ptr<SpeechAnalyzer> analyzer, std::shared_ptr<SessionFailures> failures,
                             ProtocolOutput& output, const RecognizerWording& wording)
    : source_(source), transcriber_(std::move(transcriber)), analyzer_(std::move(analyzer)),
      failures_(std::move(failures)), output_(output), wording_(wording) {}

StreamSession::~StreamSession() {
    // The last reference may be dropped by one of the session's own threads.
    for (std::thread* thread : {&analysis_, &results_}) {
        if (!thread->joinable()) continue;
        if (thread->get_id() == std::this_thread::get_id()) {
            thread->detach();
        } else {
            thread->join();
        }
    }
}

void StreamSession::append(const ConvertedBuffers& buffers) {
    for (const ConvertedBuffer& converted : buffers) {
        channel_.send(AnalyzerInput{converted.buffer, converted.startTime});
    }
}

void StreamSession::cancelImmediately() {
    cancellation_.expect();
    channel_.finish(std::make_exception_ptr(CancellationError()));
    analyzer_->cancelAndFinishNow();
    // The threads end on their own once the channel and the results have ended.
}

std::exception_ptr StreamSession::unexpected(std::exception_ptr error) {
    if (cancellation_.expected()) return nullptr;
    // A producer waiting on the full channel fails with the error instead of blocking.
    channel_.finish(error);
    failures_->report(error);
    return error;
}

void StreamSession::runAnalysis() {
    std::exception_ptr outcome;
    try {
        ChannelInputs inputs(channel_);
        const std::optional<CMTime> last = analyzer_->analyzeSequence(inputs);
        if (!last) {
            // No audio was ever fed: nothing to finalise, and nothing to report.
            cancellation_.expect();
            analyzer_->cancelAndFinishNow();
        } else {
            analyzer_->finalizeAndFinish(*last);
        }
    } catch (...) {
        outcome = unexpected(std::current_exception());
    }
    std::lock_guard<std::mutex> guard(threadLock_);
    analysisError_ = outcome;
}

void StreamSession::runResults() {
    std::exception_ptr outcome;
    try {
        std::int64_t finalResults = 0;
        while (std::optional<SpeechTranscriptionResult> result = transcriber_->nextResult()) {
            std::string text = result->text.characters();
            if (text.size() > kMaximumResultTextBytes) throw SpeechFailure(wording_.invalidResult);
            const TranscriptTiming timing = transcriptTiming(result->text, result->range);
            output_.emit(segmentRecord(source_, finalResults, timing, std::move(text), result->isFinal).asObject());
            if (result->isFinal) ++finalResults;
        }
    } catch (...) {
        outcome = unexpected(std::current_exception());
    }
    std::lock_guard<std::mutex> guard(threadLock_);
    resultsError_ = outcome;
}

void StreamSession::await(std::thread& thread, std::mutex& lock, std::exception_ptr& error) {
    std::thread joining;
    {
        std::lock_guard<std::mutex> guard(lock);
        joining = std::move(thread);
    }
    if (joining.joinable()) joining.join();
    std::lock_guard<std::mutex> guard(lock);
    if (error) std::rethrow_exception(error);
}

void StreamSession::awaitAnalysis() { await(analysis_, threadLock_, analysisError_); }

void StreamSession::awaitResults() { await(results_, threadLock_, resultsError_); }

}  // namespace quorvantel::speech
