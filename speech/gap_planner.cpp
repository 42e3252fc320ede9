#include "speech/gap_planner.h"

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "speech/signal_watcher.h"
#include "speech/speech_failure.h"

namespace quorvantel::speech {

std::optional<SystemAudioGap> SystemAudioGapPlanner::observe(const AudioPacket& packet) {
    if (packet.source == Source::microphone) return std::nullopt;
    const std::size_t frameBytes = static_cast<std::size_t>(packet.channels) * 2;
    if (!std::isfinite(packet.startMs) || packet.startMs < 0 || packet.startMs > kMaximumRecordingMs ||
        (packet.sampleRate != 48000 && packet.sampleRate != 16000) || (packet.channels != 1 && packet.channels != 2) ||
        packet.data.empty() || packet.data.size() % frameBytes != 0) {
        throw SpeechFailure(kInvalidSystemAudioMessage);
    }
    const double exact = packet.startMs * kGridFramesPerMs;
    const double nearest = std::round(exact);  // halves away from zero
    if (std::fabs(exact - nearest) > kGridTolerance || nearest > double(kTimelineEndFrame)) {
        throw SpeechFailure(kOffGridMessage);
    }
    const std::int64_t start = static_cast<std::int64_t>(nearest);
    const std::int64_t ratio = kGridFramesPerSecond / packet.sampleRate;
    const std::int64_t frames = static_cast<std::int64_t>(packet.frames());
    if (frames > (kTimelineEndFrame - start) / ratio) throw SpeechFailure(kPastTimelineMessage);
    const std::int64_t end = start + frames * ratio;

    if (!nextFrame_) {
        // The first system packet is never preceded by silence, wherever it starts.
        nextFrame_ = end;
        return std::nullopt;
    }
    if (start < *nextFrame_) throw SpeechFailure(kOutOfOrderAudioMessage);
    std::optional<SystemAudioGap> gap;
    if (start > *nextFrame_) gap = SystemAudioGap{*nextFrame_, start - *nextFrame_};
    nextFrame_ = end;
    return gap;
}

void SystemAudioGapPlanner::validateOutput(const ConvertedBuffers& buffers, Source source) {
    if (source == Source::microphone || buffers.empty()) return;
    std::optional<CMTime> end = convertedEnd_;
    for (const ConvertedBuffer& converted : buffers) {
        if (end && CMTimeCompare(converted.startTime, *end) < 0) throw SpeechFailure(kOverlappingOutputMessage);
        const auto rate = static_cast<CMTimeScale>(std::lround(converted.buffer->format().sampleRate()));
        end = CMTimeAdd(converted.startTime, CMTimeMake(converted.buffer->frameLength(), rate));
    }
    convertedEnd_ = end;
}

namespace {

// Ends the process when a hole is still being filled at the deadline, even while the
// driver waits on a full queue and cannot look at the clock itself.
class HoleWatchdog {
public:
    HoleWatchdog(std::chrono::steady_clock::time_point deadline, const ProcessControl& control)
        : thread_(startThread([this, deadline, &control] {
              std::unique_lock<std::mutex> guard(lock_);
              if (changed_.wait_until(guard, deadline, [&] { return cancelled_; })) return;
              guard.unlock();
              control.output.error(kHoleDeadlineMessage);
              control.exitProcess(1);
          })) {}

    ~HoleWatchdog() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            cancelled_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool cancelled_ = false;
    std::thread thread_;
};

}  // namespace

void appendWithInternalGapPadding(const AudioPacket& packet, SystemAudioGapPlanner& planner, PCMConverter& converter,
                                  AudioSink& session, const ProcessControl& control,
                                  std::chrono::steady_clock::duration deadlineAfter) {
    const std::optional<SystemAudioGap> gap = planner.observe(packet);
    if (gap) {
        const auto deadline = std::chrono::steady_clock::now() + deadlineAfter;
        HoleWatchdog watchdog(deadline, control);
        const std::size_t frameBytes = static_cast<std::size_t>(packet.channels) * 2;
        // One block of silence serves every chunk of the hole.
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(kSilenceChunkFrames) * frameBytes, 0);
        AudioPacket silence;
        silence.source = Source::systemAudio;
        silence.sampleRate = 48000;
        silence.channels = packet.channels;
        std::int64_t cursor = gap->startFrame;
        const std::int64_t end = gap->startFrame + gap->frameCount;
        while (cursor < end) {
            const std::int64_t n = std::min(end - cursor, kSilenceChunkFrames);
            if (std::chrono::steady_clock::now() >= deadline) throw SpeechFailure(kHoleDeadlineMessage);
            silence.startMs = double(cursor) / kGridFramesPerMs;
            silence.data.assign(zeros.begin(), zeros.begin() + static_cast<std::ptrdiff_t>(std::size_t(n) * frameBytes));
            const ConvertedBuffers buffers = converter.convert(silence);
            planner.validateOutput(buffers, Source::systemAudio);
            session.append(buffers);
            cursor += n;
        }
    }
    const ConvertedBuffers buffers = converter.convert(packet);
    planner.validateOutput(buffers, packet.source);
    session.append(buffers);
}

}  // namespace quorvantel::speech
