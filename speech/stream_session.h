// One recognition session per source: an analyzer fed through the bounded channel by
// the driver, an analysis thread that runs it, and a results thread that writes one
// segment line per result. The first unexpected failure of any session is reported
// once for the whole process and ends it.
#pragma once

#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/speech/speech_framework.h"
#include "speech/audio_sink.h"
#include "speech/bounded_channel.h"
#include "speech/process_control.h"
#include "speech/recognizer_wording.h"
#include "speech/source.h"

namespace quorvantel::speech {

inline constexpr std::size_t kMaximumResultTextBytes = 32'768;
inline constexpr std::chrono::milliseconds kFailureExitWatchdog{2000};

// The failure a session's channel is finished with when it is stopped on purpose.
class CancellationError : public std::runtime_error {
public:
    CancellationError() : std::runtime_error("The operation was cancelled.") {}
};

// Marks that a session is being stopped on request, so errors that follow are not
// reported. Once set it stays set.
class StreamCancellation {
public:
    void expect() {
        std::lock_guard<std::mutex> guard(lock_);
        expected_ = true;
    }
    bool expected() {
        std::lock_guard<std::mutex> guard(lock_);
        return expected_;
    }

private:
    std::mutex lock_;
    bool expected_ = false;
};

class StreamSession;

// The process-wide rule: the first unexpected recognition failure writes the one
// error line, stops every session and ends the process with status 1.
class SessionFailures {
public:
    explicit SessionFailures(ProcessControl control) : control_(std::move(control)) {}
    void add(const std::shared_ptr<StreamSession>& session);
    // Returns only when another failure was reported first.
    void report(std::exception_ptr failure);

private:
    std::mutex lock_;
    ProcessControl control_;
    std::vector<std::weak_ptr<StreamSession>> sessions_;
    bool failed_ = false;
};

class StreamSession final : public AudioSink, public std::enable_shared_from_this<StreamSession> {
public:
    // Prepares a new analyzer for the format and starts both threads; raises the
    // analyzer's preparation error, leaving nothing running.
    static std::shared_ptr<StreamSession> make(Source source, std::shared_ptr<SpeechTranscriber> transcriber,
                                               const AVAudioFormat& format, SpeechFramework& speech,
                                               std::shared_ptr<SessionFailures> failures, ProtocolOutput& output,
                                               const RecognizerWording& wording);
    ~StreamSession() override;

    Source source() const { return source_; }
    // Queues every buffer in order, waiting while 16 are queued.
    void append(const ConvertedBuffers& buffers) override;
    // Closes the input normally: the analyzer drains it and finalises.
    void finishInput() { channel_.finish(); }
    // Waits for the analysis thread, then raises its failure if it had one.
    void awaitAnalysis();
    void awaitResults();
    // Stops at once without writing anything: marks the stop as expected, fails the
    // channel, cancels the analyzer.
    void cancelImmediately();

    BoundedChannel<AnalyzerInput>& channel() { return channel_; }

private:
    StreamSession(Source source, std::shared_ptr<SpeechTranscriber> transcriber, std::unique_ptr<SpeechAnalyzer> analyzer,
                  std::shared_ptr<SessionFailures> failures, ProtocolOutput& output, const RecognizerWording& wording);
    void runAnalysis();
    void runResults();
    // Reports an error met by either thread unless the stop was expected; returns
    // the error the thread completes with, or nothing.
    std::exception_ptr unexpected(std::exception_ptr error);
    static void await(std::thread& thread, std::mutex& lock, std::exception_ptr& error);

    Source source_;
    std::shared_ptr<SpeechTranscriber> transcriber_;
    std::unique_ptr<SpeechAnalyzer> analyzer_;
    BoundedChannel<AnalyzerInput> channel_;
    StreamCancellation cancellation_;
    std::shared_ptr<SessionFailures> failures_;
    ProtocolOutput& output_;
    const RecognizerWording& wording_;
    std::mutex threadLock_;
    std::thread analysis_;
    std::thread results_;
    std::exception_ptr analysisError_;
    std::exception_ptr resultsError_;
};

}  // namespace quorvantel::speech
