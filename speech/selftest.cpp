#include "speech/selftest.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>

#include "platform/foundation/base64.h"
#include "speech/audio_sink.h"
#include "speech/bounded_channel.h"
#include "speech/gap_planner.h"
#include "speech/input_protocol.h"
#include "speech/process_control.h"
#include "speech/protocol_output.h"
#include "speech/signal_watcher.h"
#include "speech/source.h"
#include "speech/speech_failure.h"
#include "speech/transcript_timing.h"

namespace quorvantel::speech {
namespace {

constexpr const char* kInvalidConvertedSamplesMessage = "Invalid converted samples";
constexpr const char* kMissingTestPacketMessage = "Missing test packet";
constexpr const char* kMissing16kTestPacketMessage = "Missing 16 kHz test packet";
constexpr const char* kAcceptedOverlapMessage = "Accepted exact-source overlap";
constexpr const char* kMissedLongGapMessage = "Internal padding missed a 120 second gap.";
constexpr const char* kAcceptedInvalidGapMessage = "Accepted invalid internal padding gap timeline";
constexpr const char* kMissedSmallGapMessage = "Internal padding missed a confirmed small gap.";

constexpr CMTimeScale kGridTimescale = static_cast<CMTimeScale>(kGridFramesPerSecond);
constexpr std::int64_t kOutputFramesPerSecond = static_cast<std::int64_t>(kSelftestOutputSampleRate);

// The test line: 4,800 mono frames (9,600 zero bytes) at 48 kHz, 12.5 ms into the
// recording, handed to the decoder as its first 17 bytes and then the rest.
constexpr std::size_t kTestPacketBytes = 9'600;
constexpr std::size_t kTestPacketFrames = 4'800;
constexpr double kTestPacketStartMs = 12.5;
constexpr std::size_t kPartialFramingBytes = 17;
// Two seconds of 16 kHz mono: the most one 16 kHz packet may hold.
constexpr std::size_t kLargest16kPacketBytes = 64'000;
constexpr std::size_t kLargest16kPacketFrames = 32'000;

// The two origins of the frame-anchored checks: the start of the recording and a frame
// just under ten seconds before its seven-day end, odd so that no coarser grid hides
// an error.
constexpr std::int64_t kHighOriginFrame = 29'029'920'001;
// One second before the end of the timeline, where the format-change runs start.
constexpr std::int64_t kNearEndFrame = 29'030'352'000;
// 100 ms at 48 kHz: the packet length of the system-audio checks.
constexpr std::int64_t kPacketFrames48k = 4'800;
// A 48 kHz run of this many frames converts to 1,600.67 output frames, rounded up to
// 1,601: its tail reaches one 48 kHz frame past its input.
constexpr std::int64_t kOverhangingRunFrames = 4'802;
// 120 seconds of 48 kHz frames, and the 1,200 silence chunks that fill them.
constexpr std::int64_t kLongGapFrames = 5'760'000;
constexpr std::int64_t kLongGapChunks = 1'200;
// Fills one whole chunk and one frame more.
constexpr std::int64_t kSmallGapFrames = kSilenceChunkFrames + 1;
// How far a microphone packet is moved off its expected time (less than a millisecond,
// within the microphone's continuity tolerance).
constexpr double kMicrophoneJitterMs = 0.6;
// One output frame at 16 kHz: how closely the rate-change runs must join.
constexpr double kRateChangeToleranceSeconds = 0.0000625;
constexpr double kCommonTimelineToleranceSeconds = 0.0001;
// The sample of the non-silent test packets (an eighth of full scale), and that of the
// downmix packet (a quarter).
constexpr std::int16_t kTestSample = 4'096;
constexpr std::int16_t kDownmixSample = 8'192;
// Integers sent through the bounded channel: four times its capacity.
constexpr int kChannelTestElements = 64;

[[noreturn]] void fail(const std::string& message) { throw SpeechFailure(message); }

void require(bool condition, const std::string& message) {
    if (!condition) fail(message);
}

std::string failed(std::string_view check) { return kSelftestFailurePrefix + std::string(check); }

// The description of the failure the action raised; nothing when it succeeded.
std::optional<std::string> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        return std::string(failure.what());
    }
    return std::nullopt;
}

bool failsWith(const std::function<void()>& action, std::string_view message) {
    const std::optional<std::string> failure = failureOf(action);
    return failure && *failure == message;
}

// Exact times read exactly: "value/timescale".
std::string describe(CMTime time) {
    if (!time.isNumeric()) return "a non-numeric time";
    return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

CMTime gridTime(std::int64_t frame) { return CMTimeMake(frame, kGridTimescale); }

CMTime endOf(const ConvertedBuffer& converted) {
    const auto rate = static_cast<CMTimeScale>(std::lround(converted.buffer->format().sampleRate()));
    return CMTimeAdd(converted.startTime, CMTimeMake(converted.buffer->frameLength(), rate));
}

double secondsBetween(CMTime later, CMTime earlier) { return CMTimeGetSeconds(CMTimeSubtract(later, earlier)); }

// round(frames × 16 kHz ÷ rate), halves away from zero: a whole run's exact output.
std::int64_t exactOutputFrames(std::int64_t inputFrames, int inputRate) {
    return (2 * inputFrames * kOutputFramesPerSecond + inputRate) / (2 * std::int64_t(inputRate));
}

// Where one converted buffer lies; what the run checks look at.
struct Extent {
    CMTime start;
    std::int64_t frames = 0;
};

void requireRuns(const std::vector<Extent>& extents, const std::vector<ExpectedRun>& runs, const std::string& label) {
    const std::string prefix = kSelftestFailurePrefix + label;
    std::size_t run = 0;
    std::int64_t offset = 0;
    const auto skipEmptyRuns = [&] {
        while (run < runs.size() && runs[run].outputFrames == 0) ++run;
    };
    skipEmptyRuns();
    for (const Extent& extent : extents) {
        if (run == runs.size()) fail(prefix + ": output bridged a gap or EOF");
        const CMTime expected =
            CMTimeAdd(gridTime(runs[run].startFrame), CMTimeMake(offset, kSelftestOutputTimescale));
        if (CMTimeCompare(extent.start, expected) != 0) {
            fail(prefix + ": output timestamp " + describe(extent.start) + ", expected " + describe(expected) +
                 ", run " + std::to_string(run) + ", offset " + std::to_string(offset));
        }
        if (extent.frames > runs[run].outputFrames - offset) fail(prefix + ": output bridged a gap or EOF");
        offset += extent.frames;
        if (offset == runs[run].outputFrames) {
            ++run;
            offset = 0;
            skipEmptyRuns();
        }
    }
    if (run != runs.size()) fail(prefix + ": missing output");
}

std::vector<Extent> extentsOf(const ConvertedBuffers& buffers) {
    std::vector<Extent> extents;
    extents.reserve(buffers.size());
    for (const ConvertedBuffer& converted : buffers) {
        extents.push_back(Extent{converted.startTime, std::int64_t(converted.buffer->frameLength())});
    }
    return extents;
}

std::int64_t totalFrames(const std::vector<Extent>& extents) {
    std::int64_t total = 0;
    for (const Extent& extent : extents) total += extent.frames;
    return total;
}

std::int64_t totalFrames(const ConvertedBuffers& buffers) { return totalFrames(extentsOf(buffers)); }

void appendTo(ConvertedBuffers& to, ConvertedBuffers from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// Every sample of the buffer, each sample buffer in turn; the samples must be readable
// as 32-bit floats.
void forEachSample(const AVAudioPCMBuffer& buffer, const std::function<void(float)>& visit) {
    float* const* data = buffer.floatChannelData();
    if (data == nullptr) fail(kInvalidConvertedSamplesMessage);
    const AVAudioFormat& format = buffer.format();
    const std::size_t samples = std::size_t(buffer.frameLength()) * format.channelsPerBuffer();
    for (std::uint32_t index = 0; index < format.bufferCount(); ++index) {
        if (data[index] == nullptr) fail(kInvalidConvertedSamplesMessage);
        for (std::size_t sample = 0; sample < samples; ++sample) visit(data[index][sample]);
    }
}

// --- Packets and lines ------------------------------------------------------------

AudioPacket makePacket(Source source, int rate, int channels, double startMs, std::int64_t frames,
                       std::int16_t sample) {
    AudioPacket packet;
    packet.source = source;
    packet.sampleRate = rate;
    packet.channels = channels;
    packet.startMs = startMs;
    packet.data.resize(std::size_t(frames) * std::size_t(channels) * 2);
    // Little-endian, whatever the machine.
    const auto bits = static_cast<std::uint16_t>(sample);
    for (std::size_t at = 0; at < packet.data.size(); at += 2) {
        packet.data[at] = static_cast<std::uint8_t>(bits & 0xFF);
        packet.data[at + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
    return packet;
}

// A microphone packet of frames at its own rate.
AudioPacket microphonePacket(int rate, int channels, double startMs, std::int64_t frames,
                             std::int16_t sample = 0) {
    return makePacket(Source::microphone, rate, channels, startMs, frames, sample);
}

// A system-audio packet starting at a 48 kHz frame of the recording timeline.
AudioPacket systemPacket(int rate, int channels, std::int64_t startFrame, std::int64_t frames,
                         std::int16_t sample = kTestSample) {
    return makePacket(Source::systemAudio, rate, channels, double(startFrame) / kGridFramesPerMs, frames, sample);
}

// 100 ms of system audio at the rate.
AudioPacket systemTenth(int rate, int channels, std::int64_t startFrame) {
    return systemPacket(rate, channels, startFrame, rate / 10);
}

std::string zeroData(std::size_t bytes) { return base64::encode(std::vector<std::uint8_t>(bytes, 0)); }

// A microphone audio line with the fields' JSON texts as given.
std::string audioLine(std::string_view sampleRate, std::string_view channels, std::string_view startMs,
                      std::string_view data) {
    std::string line = R"({"type":"audio","source":"microphone","sampleRate":)";
    line += sampleRate;
    line += R"(,"channels":)";
    line += channels;
    line += R"(,"startMs":)";
    line += startMs;
    line += R"(,"data":")";
    line += data;
    line += R"("})";
    return line;
}

bool rejectedAsPacket(const std::string& line) {
    return failsWith([&] { parseMessage(line); }, kInvalidPacketMessage);
}

// --- Input ----------------------------------------------------------------------

// Checks framing and packet validation; returns the parsed test packet.
AudioPacket checkInput() {
    const std::string data = zeroData(kTestPacketBytes);
    const std::string line = audioLine("48000", "1", "12.5", data);

    LineDecoder decoder;
    require(decoder.append(std::string_view(line).substr(0, kPartialFramingBytes)).empty(),
            failed("partial framing"));
    const std::vector<std::string> lines = decoder.append(line.substr(kPartialFramingBytes) + "\n");
    require(lines.size() == 1 && lines.front() == line, failed("complete framing"));

    InputMessage message = parseMessage(lines.front());
    const AudioPacket* packet = std::get_if<AudioPacket>(&message);
    require(packet != nullptr, kMissingTestPacketMessage);
    require(packet->source == Source::microphone && packet->sampleRate == 48000 && packet->channels == 1 &&
                packet->startMs == kTestPacketStartMs && packet->frames() == kTestPacketFrames,
            failed("valid PCM parsing"));
    AudioPacket testPacket = *packet;

    InputMessage large = parseMessage(audioLine("16000", "1", "12.5", zeroData(kLargest16kPacketBytes)));
    const AudioPacket* largePacket = std::get_if<AudioPacket>(&large);
    require(largePacket != nullptr, kMissing16kTestPacketMessage);
    require(largePacket->sampleRate == 16000 && largePacket->channels == 1 &&
                largePacket->frames() == kLargest16kPacketFrames,
            failed("16 kHz packet and duration cap"));

    struct Oversized {
        const char* sampleRate;
        std::size_t bytes;
    };
    for (const Oversized& rejected : {Oversized{"16000", 64'002}, Oversized{"48000", 192'002},
                                      Oversized{"8000", 3'200}, Oversized{"44100", 3'200}}) {
        require(rejectedAsPacket(audioLine(rejected.sampleRate, "1", "12.5", zeroData(rejected.bytes))),
                failed("sample-rate allowlist and scaled packet cap"));
    }

    for (const char* boolean : {"true", "false"}) {
        const bool allRejected = rejectedAsPacket(audioLine("48000", boolean, "12.5", data)) &&
                                 rejectedAsPacket(audioLine(boolean, "1", "12.5", data)) &&
                                 rejectedAsPacket(audioLine("48000", "1", boolean, data));
        require(allRejected, failed("strict numeric parsing"));
    }

    LineDecoder unbounded;
    const std::string endless(kMaximumInputLineBytes + 1, 'a');
    require(failsWith([&] { unbounded.append(endless); }, kLineTooLargeMessage), failed("bounded parser"));

    LineDecoder truncated;
    const bool noLine = truncated.append(R"({"type":)").empty();
    require(noLine && failsWith([&] { truncated.finish(); }, kPartialLineMessage), failed("partial EOF rejected"));

    for (const char* text : {"AA", "!!!!", "AAA="}) {
        require(rejectedAsPacket(audioLine("48000", "2", "12.5", text)),
                failed("invalid base64/frame alignment rejected"));
    }
    return testPacket;
}

// --- Conversion -----------------------------------------------------------------

AVAudioFormat testFormat() {
    const std::optional<AVAudioFormat> format =
        AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, kSelftestOutputSampleRate, 1, false);
    if (!format) fail(kNoTestFormatMessage);
    return *format;
}

void checkOneSecondOfSilence(const AVAudioFormat& format) {
    constexpr double kFirstStartMs = 125;
    constexpr double kPacketMs = 100;
    constexpr int kPackets = 10;
    for (const int rate : {16000, 48000}) {
        for (const int channels : {1, 2}) {
            PCMConverter converter(format);
            ConvertedBuffers output;
            for (int index = 0; index < kPackets; ++index) {
                appendTo(output, converter.convert(microphonePacket(rate, channels, kFirstStartMs + kPacketMs * index,
                                                                    rate / 10)));
            }
            appendTo(output, converter.flush());
            const std::int64_t total = totalFrames(output);
            require(std::llabs(total - kOutputFramesPerSecond) <= 1,
                    failed("resampling must preserve one-second duration:") + " " + std::to_string(total));
            require(!output.empty() && std::fabs(CMTimeGetSeconds(output.front().startTime) - kFirstStartMs / 1000) <=
                                           kCommonTimelineToleranceSeconds,
                    failed("common timeline"));
            bool silent = true;
            for (const ConvertedBuffer& converted : output) {
                forEachSample(*converted.buffer, [&](float sample) { silent = silent && sample == 0.0f; });
            }
            require(silent, failed("silent PCM preserved"));
        }
    }
}

void checkFractionalMicrophonePackets(const AVAudioFormat& format) {
    constexpr int kPackets = 100;
    for (const std::int64_t frames : {97, 1024}) {
        PCMConverter converter(format);
        ConvertedBuffers output;
        for (int index = 0; index < kPackets; ++index) {
            const double startMs = double(index * frames) / kGridFramesPerMs;
            appendTo(output, converter.convert(microphonePacket(48000, 1, startMs, frames)));
        }
        appendTo(output, converter.flush());
        const double exact = double(kPackets * frames) * kSelftestOutputSampleRate / 48000.0;
        require(std::fabs(double(totalFrames(output)) - exact) <= 1.0,
                failed("fractional-frame resampling must not drift"));
    }
}

void checkRateChanges(const AVAudioFormat& format) {
    struct Step {
        int rate;
        double startMs;
    };
    PCMConverter converter(format);
    ConvertedBuffers output;
    for (const Step& step : {Step{48000, 500}, Step{16000, 600}, Step{48000, 700}, Step{16000, 800}}) {
        appendTo(output, converter.convert(microphonePacket(step.rate, 1, step.startMs, step.rate / 10)));
    }
    appendTo(output, converter.flush());
    require(totalFrames(output) == 4 * kOutputFramesPerSecond / 10, failed("rate changes preserve 400 ms"));
    const std::string continuity = failed("rate-change timeline continuity");
    require(std::fabs(secondsBetween(output.front().startTime, CMTimeMake(1, 2))) <= kRateChangeToleranceSeconds,
            continuity);
    for (std::size_t index = 1; index < output.size(); ++index) {
        require(std::fabs(secondsBetween(output[index].startTime, endOf(output[index - 1]))) <=
                    kRateChangeToleranceSeconds,
                continuity);
    }
    require(std::fabs(secondsBetween(endOf(output.back()), CMTimeMake(9, 10))) <= kRateChangeToleranceSeconds,
            failed("rate-change final timestamp"));
}

void checkDiscontinuityAndOverlap(const AVAudioFormat& format, const AudioPacket& testPacket) {
    constexpr double kLaterStartMs = 2'000;
    PCMConverter converter(format);
    converter.convert(testPacket);
    const CMTime testPacketEnd =
        gridTime(std::llround(testPacket.startMs * kGridFramesPerMs) + std::int64_t(testPacket.frames()));
    ConvertedBuffers output = converter.convert(microphonePacket(48000, 1, kLaterStartMs, kTestPacketFrames));
    appendTo(output, converter.flush());
    // The earlier run's tail ends with the test packet; what follows is the new run.
    const ConvertedBuffer* firstAfterGap = nullptr;
    for (const ConvertedBuffer& converted : output) {
        if (CMTimeCompare(converted.startTime, testPacketEnd) >= 0) {
            firstAfterGap = &converted;
            break;
        }
    }
    require(firstAfterGap != nullptr && CMTimeCompare(firstAfterGap->startTime, CMTimeMake(2, 1)) == 0,
            failed("discontinuous timeline preserved"));
    require(failsWith([&] { converter.convert(testPacket); }, kOutOfOrderAudioMessage), failed("overlap rejected"));
}

void checkSourceTolerances() {
    const std::optional<Source> system = sourceFromRawValue("system-audio");
    const std::optional<Source> microphone = sourceFromRawValue("microphone");
    require(system == Source::systemAudio && microphone == Source::microphone &&
                continuityToleranceMs(*system) == kSystemAudioContinuityToleranceMs &&
                continuityToleranceMs(*microphone) == kMicrophoneContinuityToleranceMs &&
                kSystemAudioContinuityToleranceMs < kMicrophoneContinuityToleranceMs,
            failed("source labels select the intended clock tolerance"));
}

void checkSystemRuns(const AVAudioFormat& format) {
    const std::int64_t runFrames = exactOutputFrames(kPacketFrames48k, 48000);
    for (const std::int64_t origin : {std::int64_t(0), kHighOriginFrame}) {
        const std::string at = std::to_string(origin);
        {
            // Gaps of one and of 48 frames: each packet starts a run at its own frame.
            const std::int64_t second = origin + kPacketFrames48k + 1;
            const std::int64_t third = second + kPacketFrames48k + 48;
            PCMConverter converter(format);
            ConvertedBuffers output;
            for (const std::int64_t start : {origin, second, third}) {
                appendTo(output, converter.convert(systemPacket(48000, 2, start, kPacketFrames48k)));
            }
            appendTo(output, converter.flush());
            requireConverterRuns(output, {{origin, runFrames}, {second, runFrames}, {third, runFrames}},
                                 "exact system-audio runs at " + at);
        }
        {
            // The first run's length is not a whole number of output frames, so a run
            // that went on counting from the old anchor would start a frame early.
            const std::int64_t second = origin + kPacketFrames48k + 1;
            PCMConverter converter(format);
            ConvertedBuffers output = converter.convert(systemPacket(48000, 2, origin, kPacketFrames48k + 1));
            appendTo(output, converter.flush());
            appendTo(output, converter.convert(systemPacket(48000, 2, second, kPacketFrames48k)));
            appendTo(output, converter.flush());
            requireConverterRuns(output,
                                 {{origin, exactOutputFrames(kPacketFrames48k + 1, 48000)}, {second, runFrames}},
                                 "post-flush converter uses a new anchor");
        }
        for (const std::int64_t frames : {97, 1024}) {
            constexpr int kPackets = 100;
            PCMConverter converter(format);
            ConvertedBuffers output;
            for (int index = 0; index < kPackets; ++index) {
                appendTo(output, converter.convert(systemPacket(48000, 2, origin + index * frames, frames)));
            }
            appendTo(output, converter.flush());
            requireConverterRuns(output, {{origin, exactOutputFrames(kPackets * frames, 48000)}},
                                 "fractional system packets do not reset or drift at " + at);
        }
        {
            PCMConverter converter(format);
            converter.convert(systemPacket(48000, 2, origin, kPacketFrames48k));
            const AudioPacket inside = systemPacket(48000, 2, origin + kPacketFrames48k / 2, kPacketFrames48k);
            require(failsWith([&] { converter.convert(inside); }, kOutOfOrderAudioMessage), kAcceptedOverlapMessage);
            converter.flush();
            require(converter.flush().empty(), failed("EOF does not duplicate converter tail"));
        }
    }
}

void checkSubMillisecondSystemOverlap(const AVAudioFormat& format) {
    for (const std::int64_t origin : {std::int64_t(0), kHighOriginFrame}) {
        PCMConverter converter(format);
        converter.convert(systemPacket(48000, 2, origin, kPacketFrames48k));
        for (const std::int64_t early : {1, 48}) {
            const AudioPacket overlapping = systemPacket(48000, 2, origin + kPacketFrames48k - early, kPacketFrames48k);
            require(failsWith([&] { converter.convert(overlapping); }, kOutOfOrderAudioMessage),
                    failed("sub-ms system overlap rejected"));
        }
    }
}

void checkMicrophoneJitter(const AVAudioFormat& format) {
    // 16 kHz, then 48 kHz from 100 ms (a new run), whose later packets come 0.6 ms late
    // and 0.6 ms early and still continue it on its own clock.
    PCMConverter converter(format);
    ConvertedBuffers output = converter.convert(microphonePacket(16000, 1, 0, 1'600));
    for (const double startMs : {100.0, 200.0 + kMicrophoneJitterMs, 300.0 - kMicrophoneJitterMs}) {
        appendTo(output, converter.convert(microphonePacket(48000, 1, startMs, kPacketFrames48k)));
    }
    appendTo(output, converter.flush());
    requireConverterRuns(output, {{0, exactOutputFrames(1'600, 16000)}, {4'800, 3 * exactOutputFrames(4'800, 48000)}},
                         "microphone tolerates millisecond jitter after a format re-anchor");
}

void checkHighOriginFormatChanges(const AVAudioFormat& format) {
    struct PacketFormat {
        int rate;
        int channels;
    };
    constexpr PacketFormat kFormats[] = {{48000, 2}, {16000, 1}, {48000, 1}, {16000, 2}};
    // Contiguous 100 ms packets, each in another format than the one before, up to the
    // last frame of the timeline.
    PCMConverter converter(format);
    ConvertedBuffers output;
    std::vector<ExpectedRun> runs;
    std::size_t index = 0;
    for (std::int64_t start = kNearEndFrame; start < kTimelineEndFrame; start += kPacketFrames48k, ++index) {
        const PacketFormat& packetFormat = kFormats[index % std::size(kFormats)];
        appendTo(output, converter.convert(systemTenth(packetFormat.rate, packetFormat.channels, start)));
        runs.push_back({start, exactOutputFrames(packetFormat.rate / 10, packetFormat.rate)});
    }
    appendTo(output, converter.flush());
    requireConverterRuns(output, runs, "system format changes preserve the high-origin frame clock");
}

// --- Gap planner and silence fill ------------------------------------------------

// One input buffer the converter was handed: its length and whether it was silence.
struct InputRecord {
    std::int64_t frames = 0;
    bool silent = false;
};

struct ConversionLog {
    std::mutex lock;
    std::vector<InputRecord> inputs;
    int runs = 0;

    std::vector<InputRecord> snapshot() {
        std::lock_guard<std::mutex> guard(lock);
        return inputs;
    }
};

// Whether every sample of the 16-bit input buffer is zero. Compared as bytes in one
// pass (every byte equal to the one before it, the first zero): a two-minute hole is
// 23 MB of them.
bool isSilent(const AVAudioPCMBuffer& buffer) {
    std::int16_t* const* data = buffer.int16ChannelData();
    if (data == nullptr) return false;
    const std::size_t bytes =
        std::size_t(buffer.frameLength()) * buffer.format().channelsPerBuffer() * sizeof(std::int16_t);
    for (std::uint32_t index = 0; index < buffer.format().bufferCount(); ++index) {
        const auto* samples = reinterpret_cast<const unsigned char*>(data[index]);
        if (bytes == 0) continue;
        if (samples[0] != 0 || std::memcmp(samples, samples + 1, bytes - 1) != 0) return false;
    }
    return true;
}

// The platform converter, unchanged, with every input buffer it takes written down: the
// padding checks see what the fill generated without looking inside it.
class RecordingConverter final : public AVAudioConverter {
public:
    RecordingConverter(std::unique_ptr<AVAudioConverter> inner, std::shared_ptr<ConversionLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    const AVAudioFormat& inputFormat() const override { return inner_->inputFormat(); }
    const AVAudioFormat& outputFormat() const override { return inner_->outputFormat(); }
    AVAudioConverterPrimeMethod primeMethod() const override { return inner_->primeMethod(); }
    void setPrimeMethod(AVAudioConverterPrimeMethod method) override { inner_->setPrimeMethod(method); }
    void reset() override { inner_->reset(); }

    AVAudioConverterOutputStatus convertToBuffer(AVAudioPCMBuffer& outputBuffer,
                                                const AVAudioConverterInputBlock& inputBlock) override {
        const AVAudioConverterInputBlock recording = [this, &inputBlock](AVAudioPacketCount wanted,
                                                                        AVAudioConverterInputStatus& status) {
            std::shared_ptr<AVAudioPCMBuffer> buffer = inputBlock(wanted, status);
            if (buffer && status == AVAudioConverterInputStatus::haveData) {
                const InputRecord record{std::int64_t(buffer->frameLength()), isSilent(*buffer)};
                std::lock_guard<std::mutex> guard(log_->lock);
                log_->inputs.push_back(record);
            }
            return buffer;
        };
        return inner_->convertToBuffer(outputBuffer, recording);
    }

private:
    std::unique_ptr<AVAudioConverter> inner_;
    std::shared_ptr<ConversionLog> log_;
};

// The self-test's session: takes every buffer at once, passes each through consume and
// keeps where it lies (and, when asked, the buffer itself).
class CheckingSink final : public AudioSink {
public:
    explicit CheckingSink(bool keepBuffers) : keepBuffers_(keepBuffers) {}

    void append(const ConvertedBuffers& buffers) override {
        for (const ConvertedBuffer& converted : buffers) {
            consume(converted, end_);
            extents_.push_back(Extent{converted.startTime, std::int64_t(converted.buffer->frameLength())});
            if (keepBuffers_) kept_.push_back(converted);
        }
    }

    const std::vector<Extent>& extents() const { return extents_; }
    const ConvertedBuffers& buffers() const { return kept_; }

private:
    bool keepBuffers_;
    std::optional<CMTime> end_;
    std::vector<Extent> extents_;
    ConvertedBuffers kept_;
};

// One source's way through the padding step: the platform converter behind a
// recording wrapper, and a checking sink.
struct Lane {
    explicit Lane(const AVAudioFormat& format, bool keepBuffers = false)
        : log(std::make_shared<ConversionLog>()),
          converter(format,
                    [log = log](const AVAudioFormat& from,
                                const AVAudioFormat& to) -> std::unique_ptr<AVAudioConverter> {
                        std::unique_ptr<AVAudioConverter> inner = AVAudioConverter::make(from, to);
                        if (!inner) return nullptr;
                        {
                            std::lock_guard<std::mutex> guard(log->lock);
                            ++log->runs;
                        }
                        return std::make_unique<RecordingConverter>(std::move(inner), log);
                    }),
          sink(keepBuffers) {}

    std::shared_ptr<ConversionLog> log;
    PCMConverter converter;
    CheckingSink sink;
};

// What the hole watchdog is given. Its line would have nowhere to go (the self-test
// writes nothing), and it is not needed: the sink never blocks, so the fill loop
// always comes round to its own deadline check and fails with the same message. A
// watchdog that fired after the loop's last check is caught by requireNoDeadline.
class QuietProcess {
public:
    // A writer without a descriptor: every line it is given is discarded.
    QuietProcess() : output_(-1, [](int) {}), control_{output_, [this](int) { exitRequested_ = true; }} {}
    QuietProcess(const QuietProcess&) = delete;
    QuietProcess& operator=(const QuietProcess&) = delete;

    const ProcessControl& control() const { return control_; }
    void requireNoDeadline() const {
        if (exitRequested_) fail(kHoleDeadlineMessage);
    }

private:
    ProtocolOutput output_;
    std::atomic<bool> exitRequested_{false};
    ProcessControl control_;
};

// The system-audio timeline of one check: its planner, fed through the padding step.
struct Padding {
    explicit Padding(const QuietProcess& process) : process(process) {}

    void append(const AudioPacket& packet, Lane& lane) {
        appendWithInternalGapPadding(packet, planner, lane.converter, lane.sink, process.control());
        process.requireNoDeadline();
    }
    // The end of the stream for one source, as the driver's flush does it.
    void flush(Lane& lane, Source source) {
        const ConvertedBuffers tail = lane.converter.flush();
        planner.validateOutput(tail, source);
        lane.sink.append(tail);
    }

    const QuietProcess& process;
    SystemAudioGapPlanner planner;
};

struct InputSummary {
    std::vector<std::int64_t> realFrames;
    std::vector<std::int64_t> silentFrames;
    std::int64_t silentTotal = 0;
    bool silenceWithinChunks = true;
};

InputSummary summarise(const std::vector<InputRecord>& inputs) {
    InputSummary summary;
    for (const InputRecord& input : inputs) {
        if (input.silent) {
            summary.silentFrames.push_back(input.frames);
            summary.silentTotal += input.frames;
            summary.silenceWithinChunks =
                summary.silenceWithinChunks && input.frames >= 1 && input.frames <= kSilenceChunkFrames;
        } else {
            summary.realFrames.push_back(input.frames);
        }
    }
    return summary;
}

void checkLongGapSpans(const AVAudioFormat& format, const QuietProcess& process) {
    constexpr std::int64_t kFirst = 120'000 * 48;
    constexpr std::int64_t kSecond = 120'100 * 48;
    constexpr std::int64_t kGapStart = 120'200 * 48;
    constexpr std::int64_t kThird = 240'200 * 48;
    const AudioPacket first = systemTenth(48000, 2, kFirst);
    const AudioPacket second = systemTenth(48000, 2, kSecond);
    const AudioPacket third = systemTenth(48000, 2, kThird);
    {
        SystemAudioGapPlanner planner;
        const bool noEarlyGap = !planner.observe(first) && !planner.observe(second);
        const std::optional<SystemAudioGap> gap = planner.observe(third);
        require(noEarlyGap && gap && gap->startFrame == kGapStart && gap->frameCount == kLongGapFrames,
                kMissedLongGapMessage);
    }
    Padding padding(process);
    Lane lane(format);
    for (const AudioPacket* packet : {&first, &second, &third}) padding.append(*packet, lane);
    padding.flush(lane, Source::systemAudio);

    // Real, real, the silence in chunks, real: all in one run, which the converter
    // continues only for input that starts exactly where the last one ended.
    const std::vector<InputRecord> inputs = lane.log->snapshot();
    bool ordered = inputs.size() == std::size_t(kLongGapChunks) + 3 && lane.log->runs == 1;
    for (std::size_t index = 0; ordered && index < inputs.size(); ++index) {
        const bool real = index < 2 || index + 1 == inputs.size();
        ordered = real ? !inputs[index].silent && inputs[index].frames == kPacketFrames48k : inputs[index].silent;
    }
    const InputSummary summary = summarise(inputs);
    require(ordered && summary.silenceWithinChunks && summary.silentTotal == kLongGapFrames,
            failed("bounded ordered gap spans"));
    requireRuns(lane.sink.extents(), {{kFirst, exactOutputFrames(kThird + kPacketFrames48k - kFirst, 48000)}},
                "bounded ordered gap spans");
}

void checkInvalidGapTimelines(const AVAudioFormat& format, const QuietProcess& process) {
    Padding padding(process);
    Lane lane(format);
    padding.append(systemTenth(48000, 2, 100 * 48), lane);  // ends at frame 9,600
    struct Invalid {
        AudioPacket packet;
        const char* message;
    };
    AudioPacket offGrid = systemTenth(48000, 2, 0);
    offGrid.startMs = 200.001;
    const Invalid invalid[] = {
        {systemTenth(48000, 2, 9'599), kOutOfOrderAudioMessage},
        {std::move(offGrid), kOffGridMessage},
        {systemTenth(48000, 2, kTimelineEndFrame - 1), kPastTimelineMessage},
    };
    for (const Invalid& example : invalid) {
        const std::optional<std::string> failure = failureOf([&] { padding.append(example.packet, lane); });
        require(failure.has_value(), kAcceptedInvalidGapMessage);
        require(*failure == example.message,
                failed("internal padding rejects overlap, off-grid time, and seven-day endpoint overflow"));
    }
}

void checkUnrepresentableOverlap(const AVAudioFormat& format, const QuietProcess& process) {
    // A 48 kHz run whose tail reaches one frame past its input, then a change of rate
    // or channel count, right away or after a one-frame hole (whose silence comes in the
    // new packet's channel count, and which the new packet's run continues): the new
    // run would start inside the old tail. The second packet ends at the last frame of
    // the timeline.
    struct Transition {
        int firstChannels;
        std::int64_t gapFrames;
        int secondRate;
        int secondChannels;
    };
    constexpr Transition kTransitions[] = {
        {2, 0, 16000, 1}, {1, 0, 16000, 2}, {2, 0, 48000, 1}, {1, 1, 48000, 2}, {2, 1, 48000, 1},
    };
    for (const Transition& transition : kTransitions) {
        const std::int64_t secondStart = kTimelineEndFrame - kPacketFrames48k;
        const std::int64_t firstStart = secondStart - transition.gapFrames - kOverhangingRunFrames;
        Padding padding(process);
        Lane lane(format);
        padding.append(systemPacket(48000, transition.firstChannels, firstStart, kOverhangingRunFrames), lane);
        const std::optional<std::string> failure = failureOf([&] {
            padding.append(systemTenth(transition.secondRate, transition.secondChannels, secondStart), lane);
            padding.flush(lane, Source::systemAudio);
        });
        require(failure == kOverlappingOutputMessage,
                failed("internal padding must reject unrepresentable converted overlap"));
    }
}

void checkSmallGap(const AVAudioFormat& format, const QuietProcess& process) {
    constexpr std::int64_t kFirst = 48'000;
    constexpr std::int64_t kSecond = kFirst + kPacketFrames48k + kSmallGapFrames;
    const AudioPacket first = systemTenth(48000, 2, kFirst);
    const AudioPacket second = systemTenth(48000, 2, kSecond);
    Padding padding(process);
    Lane lane(format);
    padding.append(first, lane);
    SystemAudioGapPlanner probe = padding.planner;
    const std::optional<SystemAudioGap> gap = probe.observe(second);
    padding.append(second, lane);
    padding.flush(lane, Source::systemAudio);

    const InputSummary summary = summarise(lane.log->snapshot());
    require(gap && gap->startFrame == kFirst + kPacketFrames48k && gap->frameCount == kSmallGapFrames &&
                !summary.silentFrames.empty(),
            kMissedSmallGapMessage);

    const std::vector<Extent>& extents = lane.sink.extents();
    const std::int64_t expected = exactOutputFrames(kSecond + kPacketFrames48k - kFirst, 48000);
    const std::int64_t total = totalFrames(extents);
    require(lane.log->runs == 1 && total == expected && !extents.empty() &&
                CMTimeCompare(extents.front().start, gridTime(kFirst)) == 0 &&
                CMTimeCompare(CMTimeAdd(extents.front().start, CMTimeMake(total, kSelftestOutputTimescale)),
                              CMTimeAdd(extents.back().start,
                                        CMTimeMake(extents.back().frames, kSelftestOutputTimescale))) == 0,
            failed("internal padding padding preserves resampled extent"));

    const std::int64_t chunks = (kSmallGapFrames + kSilenceChunkFrames - 1) / kSilenceChunkFrames;
    require(summary.silentTotal == kSmallGapFrames && summary.silenceWithinChunks &&
                std::int64_t(summary.silentFrames.size()) == chunks &&
                summary.realFrames == std::vector<std::int64_t>{kPacketFrames48k, kPacketFrames48k},
            failed("internal padding generated every exact gap input frame"));
}

void checkPlannerPaths(const AVAudioFormat& format, const QuietProcess& process) {
    {
        // A two-minute hole ending at the last frame of the timeline.
        constexpr std::int64_t kSecond = kTimelineEndFrame - kPacketFrames48k;
        constexpr std::int64_t kFirst = kSecond - kLongGapFrames - kPacketFrames48k;
        Padding padding(process);
        Lane lane(format);
        padding.append(systemTenth(48000, 2, kFirst), lane);
        padding.append(systemTenth(48000, 2, kSecond), lane);
        padding.flush(lane, Source::systemAudio);
        const InputSummary summary = summarise(lane.log->snapshot());
        const std::vector<Extent>& extents = lane.sink.extents();
        const std::int64_t expected = exactOutputFrames(kTimelineEndFrame - kFirst, 48000);
        require(summary.silentTotal == kLongGapFrames && summary.silenceWithinChunks &&
                    summary.realFrames == std::vector<std::int64_t>{kPacketFrames48k, kPacketFrames48k} &&
                    lane.log->runs == 1 && padding.planner.nextFrame() == kTimelineEndFrame &&
                    totalFrames(extents) == expected && !extents.empty() &&
                    CMTimeCompare(extents.front().start, gridTime(kFirst)) == 0 &&
                    padding.planner.convertedEnd() &&
                    CMTimeCompare(*padding.planner.convertedEnd(), gridTime(kTimelineEndFrame)) == 0,
                failed("120 second gap planner preserves every native frame"));
    }
    {
        constexpr std::int64_t kFirst = 48'000;
        Padding padding(process);
        Lane lane(format);
        for (int index = 0; index < 3; ++index) {
            padding.append(systemTenth(48000, 2, kFirst + index * kPacketFrames48k), lane);
        }
        const InputSummary summary = summarise(lane.log->snapshot());
        require(summary.silentFrames.empty() && summary.realFrames.size() == 3 &&
                    padding.planner.nextFrame() == kFirst + 3 * kPacketFrames48k,
                failed("no-gap input"));
    }
    {
        constexpr std::int64_t kSystemStart = 48'000;
        Padding padding(process);
        Lane system(format);
        Lane microphone(format);
        padding.append(systemTenth(48000, 2, kSystemStart), system);
        const std::optional<std::int64_t> nextFrame = padding.planner.nextFrame();
        const std::optional<CMTime> convertedEnd = padding.planner.convertedEnd();
        // Before, over and long after the system packet, with holes between them.
        for (const double startMs : {0.0, 1'000.0, 600'000.0}) {
            padding.append(microphonePacket(48000, 1, startMs, kPacketFrames48k, kTestSample), microphone);
        }
        const InputSummary summary = summarise(microphone.log->snapshot());
        const bool endUnchanged = convertedEnd && padding.planner.convertedEnd() &&
                                  CMTimeCompare(*convertedEnd, *padding.planner.convertedEnd()) == 0;
        require(nextFrame && padding.planner.nextFrame() == nextFrame && endUnchanged && summary.silentFrames.empty(),
                failed("microphone never changes the system gap cursor"));
    }
    {
        constexpr std::int64_t kStart = 5'000 * 48;
        Padding padding(process);
        Lane lane(format);
        padding.append(systemTenth(48000, 2, kStart), lane);
        const InputSummary summary = summarise(lane.log->snapshot());
        const std::vector<Extent>& extents = lane.sink.extents();
        require(summary.silentFrames.empty() && padding.planner.nextFrame() == kStart + kPacketFrames48k &&
                    (extents.empty() || CMTimeCompare(extents.front().start, gridTime(kStart)) == 0),
                failed("no leading fill"));
    }
}

void checkDownmix(const AVAudioFormat& format, const QuietProcess& process) {
    Padding padding(process);
    Lane lane(format, true);
    padding.append(systemPacket(48000, 2, 0, kPacketFrames48k, kDownmixSample), lane);
    padding.flush(lane, Source::systemAudio);
    bool nonZero = false;
    bool finite = true;
    for (const ConvertedBuffer& converted : lane.sink.buffers()) {
        forEachSample(*converted.buffer, [&](float sample) {
            nonZero = nonZero || sample != 0.0f;
            finite = finite && std::isfinite(sample);
        });
    }
    require(nonZero && finite, failed("nonzero PCM downmix"));
}

// --- Channel ----------------------------------------------------------------------

void checkChannel() {
    BoundedChannel<int> channel;
    std::exception_ptr producerFailure;
    std::thread producer = startThread([&] {
        try {
            for (int element = 0; element < kChannelTestElements; ++element) channel.send(element);
            channel.finish();
        } catch (...) {
            producerFailure = std::current_exception();
            channel.finish(producerFailure);
        }
    });
    std::vector<int> received;
    std::exception_ptr consumerFailure;
    try {
        ChannelSequence<int> sequence(channel);
        while (const std::optional<int> element = sequence.next()) received.push_back(*element);
    } catch (...) {
        consumerFailure = std::current_exception();
        // A producer waiting for space must not be left waiting.
        channel.finish(consumerFailure);
    }
    producer.join();
    if (producerFailure) std::rethrow_exception(producerFailure);
    if (consumerFailure) std::rethrow_exception(consumerFailure);
    std::vector<int> expected(kChannelTestElements);
    for (int element = 0; element < kChannelTestElements; ++element) expected[std::size_t(element)] = element;
    require(received == expected, failed("bounded channel preserves order without drops"));
}

}  // namespace

void requireConverterRuns(const ConvertedBuffers& buffers, const std::vector<ExpectedRun>& runs,
                          const std::string& label) {
    requireRuns(extentsOf(buffers), runs, label);
}

void consume(const ConvertedBuffer& buffer, std::optional<CMTime>& previousEnd) {
    const std::int64_t frames = buffer.buffer ? std::int64_t(buffer.buffer->frameLength()) : 0;
    require(frames >= 1 && frames <= std::int64_t(kConvertedBufferCapacityFrames),
            failed("internal padding converted chunks remain bounded"));
    if (previousEnd && CMTimeCompare(buffer.startTime, *previousEnd) < 0) {
        fail(failed("internal padding padding overlap ") + describe(buffer.startTime) + " before " +
             describe(*previousEnd));
    }
    previousEnd = endOf(buffer);
}

void selftest(bool runTranscriptTimingChecks) {
    if (runTranscriptTimingChecks) transcriptTimingSelftest();

    const AudioPacket testPacket = checkInput();

    const AVAudioFormat format = testFormat();
    checkOneSecondOfSilence(format);
    checkFractionalMicrophonePackets(format);
    checkRateChanges(format);
    checkDiscontinuityAndOverlap(format, testPacket);
    checkSourceTolerances();
    checkSystemRuns(format);
    checkSubMillisecondSystemOverlap(format);
    checkMicrophoneJitter(format);
    checkHighOriginFormatChanges(format);

    QuietProcess process;
    checkLongGapSpans(format, process);
    checkInvalidGapTimelines(format, process);
    checkUnrepresentableOverlap(format, process);
    checkSmallGap(format, process);
    checkPlannerPaths(format, process);
    checkDownmix(format, process);

    checkChannel();
}

}  // namespace quorvantel::speech
