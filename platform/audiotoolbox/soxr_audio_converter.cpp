// The audio converter on libsoxr. It converts interleaved 32-bit float audio from one
// sample rate to another with the same channel count. libsoxr removes the filter's
// delay itself, so the first output frame lines up with the first input frame, and
// it releases the filter's tail when told that the input has ended: the converter's
// "normal" priming. Equal rates copy the samples unchanged.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <soxr.h>
#include <vector>

#include "platform/audiotoolbox/audio_converter.h"

namespace quorvantel {
namespace {

inline constexpr std::uint32_t kMaximumChannels = 8;
// The most input frames asked of the callback at once: enough for one 8,192-frame
// output buffer from an 8 kHz source, small enough to keep the copy short.
inline constexpr std::uint32_t kMaximumInputRequest = 16384;

bool isInterleavedFloat32(const AudioStreamBasicDescription& f) {
    return f.mFormatID == kAudioFormatLinearPCM &&
           f.mFormatFlags == (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked) && f.mBitsPerChannel == 32 &&
           f.mFramesPerPacket == 1 && f.mChannelsPerFrame >= 1 && f.mChannelsPerFrame <= kMaximumChannels &&
           f.mBytesPerFrame == f.mChannelsPerFrame * 4 && f.mBytesPerPacket == f.mBytesPerFrame &&
           std::isfinite(f.mSampleRate) && f.mSampleRate > 0;
}

unsigned long soxrRecipe(std::uint32_t quality) {
    if (quality >= kAudioConverterQuality_Max) return SOXR_VHQ;
    if (quality >= kAudioConverterQuality_High) return SOXR_HQ;
    if (quality >= kAudioConverterQuality_Medium) return SOXR_MQ;
    if (quality >= kAudioConverterQuality_Low) return SOXR_LQ;
    return SOXR_QQ;
}

enum class Stream { open, draining, ended };

struct SoxrConverter final : OpaqueAudioConverter {
    AudioStreamBasicDescription input;
    AudioStreamBasicDescription output;
    std::uint32_t channels = 0;
    bool resampling = false;
    std::uint32_t quality = kAudioConverterQuality_Medium;
    soxr_t soxr = nullptr;
    // Input taken from the callback that the resampler has not consumed yet; the
    // callback's pointer is only good until its next call.
    std::vector<float> pending;
    std::size_t pendingRead = 0;  // in samples
    Stream stream = Stream::open;
    bool converting = false;  // input has been taken since creation or the last reset

    ~SoxrConverter() override {
        if (soxr != nullptr) soxr_delete(soxr);
    }

    std::size_t pendingFrames() const { return (pending.size() - pendingRead) / channels; }

    bool makeResampler() {
        if (!resampling || soxr != nullptr) return true;
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t spec = soxr_quality_spec(soxrRecipe(quality), 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr = soxr_create(input.mSampleRate, output.mSampleRate, channels, &error, &io, &spec, &runtime);
        if (error != nullptr || soxr == nullptr) {
            if (soxr != nullptr) soxr_delete(soxr);
            soxr = nullptr;
            return false;
        }
        return true;
    }

    // Moves pending input into the output; returns false when the resampler stalls.
    bool feed(float* out, std::uint32_t room, std::uint32_t& produced) {
        const std::size_t available = pendingFrames();
        const float* in = pending.data() + pendingRead;
        std::size_t used = 0, made = 0;
        if (!resampling) {
            used = made = std::min<std::size_t>(available, room);
            std::memcpy(out, in, made * channels * sizeof(float));
        } else if (soxr_process(soxr, in, available, &used, out, room, &made) != nullptr) {
            return false;
        }
        if (used == 0 && made == 0) return false;
        pendingRead += used * channels;
        if (pendingRead == pending.size()) {
            pending.clear();
            pendingRead = 0;
        }
        produced += static_cast<std::uint32_t>(made);
        return true;
    }

    // Output the resampler can give from input it already holds, without new input
    // (or, when draining, the tail). Returns false on a resampler error.
    bool release(float* out, std::uint32_t room, std::uint32_t& produced, bool endOfInput) {
        if (!resampling) return true;
        std::size_t made = 0;
        static const float none = 0;
        if (soxr_process(soxr, endOfInput ? nullptr : &none, 0, nullptr, out, room, &made) != nullptr) {
            return false;
        }
        produced += static_cast<std::uint32_t>(made);
        return true;
    }
};

SoxrConverter* converterOf(AudioConverterRef ref) { return dynamic_cast<SoxrConverter*>(ref); }

class SoxrAudioConverters final : public AudioConverterService {
public:
    OSStatus AudioConverterNew(const AudioStreamBasicDescription* in, const AudioStreamBasicDescription* out,
                               AudioConverterRef* result) override {
        if (in == nullptr || out == nullptr || result == nullptr) return kAudio_ParamError;
        *result = nullptr;
        if (!isInterleavedFloat32(*in) || !isInterleavedFloat32(*out) ||
            in->mChannelsPerFrame != out->mChannelsPerFrame) {
            return kAudioConverterErr_FormatNotSupported;
        }
        auto* converter = new SoxrConverter;
        converter->input = *in;
        converter->output = *out;
        converter->channels = in->mChannelsPerFrame;
        converter->resampling = in->mSampleRate != out->mSampleRate;
        *result = converter;
        return kAudioHardwareNoError;
    }

    OSStatus AudioConverterSetProperty(AudioConverterRef ref, AudioConverterPropertyID property,
                                       std::uint32_t size, const void* data) override {
        SoxrConverter* converter = converterOf(ref);
        if (converter == nullptr || data == nullptr) return kAudio_ParamError;
        if (size != sizeof(std::uint32_t)) return kAudioConverterErr_BadPropertySizeError;
        std::uint32_t value;
        std::memcpy(&value, data, sizeof value);
        switch (property) {
            case kAudioConverterSampleRateConverterQuality:
                if (value > kAudioConverterQuality_Max) return kAudio_ParamError;
                // The filter is built with the first input; afterwards it stays.
                if (converter->converting) return kAudioConverterErr_PropertyNotSupported;
                converter->quality = value;
                if (converter->soxr != nullptr) {
                    soxr_delete(converter->soxr);
                    converter->soxr = nullptr;
                }
                return kAudioHardwareNoError;
            case kAudioConverterPrimeMethod:
                // libsoxr always works like normal priming: no leading latency, and the
                // tail comes out at the end of input. It cannot give the other two.
                return value == kConverterPrimeMethod_Normal ? kAudioHardwareNoError
                                                             : kAudioConverterErr_PropertyNotSupported;
            default: return kAudioConverterErr_PropertyNotSupported;
        }
    }

    OSStatus AudioConverterFillComplexBuffer(AudioConverterRef ref, AudioConverterComplexInputDataProc inputProc,
                                             void* userData, std::uint32_t* ioPackets, AudioBufferList* outData,
                                             AudioStreamPacketDescription*) override {
        SoxrConverter* converter = converterOf(ref);
        if (converter == nullptr || inputProc == nullptr || ioPackets == nullptr || outData == nullptr) {
            return kAudio_ParamError;
        }
        const std::uint32_t capacity = *ioPackets;
        *ioPackets = 0;
        const std::uint32_t channels = converter->channels;
        const std::uint32_t bytesPerFrame = channels * sizeof(float);
        if (outData->mNumberBuffers != 1) return kAudio_ParamError;
        AudioBuffer& buffer = outData->mBuffers[0];
        if (buffer.mData == nullptr || buffer.mNumberChannels != channels ||
            std::uint64_t(buffer.mDataByteSize) < std::uint64_t(capacity) * bytesPerFrame) {
            return kAudioConverterErr_InvalidOutputSize;
        }
        float* out = static_cast<float*>(buffer.mData);
        if (!converter->makeResampler()) return kAudioConverterErr_UnspecifiedError;

        std::uint32_t produced = 0;
        OSStatus status = kAudioHardwareNoError;
        const auto finish = [&](OSStatus result) {
            *ioPackets = produced;
            buffer.mDataByteSize = produced * bytesPerFrame;
            return result;
        };
        while (produced < capacity) {
            float* at = out + std::size_t(produced) * channels;
            const std::uint32_t room = capacity - produced;
            if (converter->pendingFrames() > 0) {
                if (!converter->feed(at, room, produced)) return finish(kAudioConverterErr_UnspecifiedError);
                continue;
            }
            if (converter->stream == Stream::ended) break;
            if (converter->stream == Stream::draining) {
                const std::uint32_t before = produced;
                if (!converter->release(at, room, produced, true)) {
                    return finish(kAudioConverterErr_UnspecifiedError);
                }
                if (produced == before) converter->stream = Stream::ended;
                continue;
            }
            // Whatever the resampler can already give comes before new input.
            if (!converter->release(at, room, produced, false)) return finish(kAudioConverterErr_UnspecifiedError);
            if (produced == capacity) break;

            const double ratio = converter->input.mSampleRate / converter->output.mSampleRate;
            const double wanted = std::ceil(double(capacity - produced) * ratio);
            std::uint32_t packets = static_cast<std::uint32_t>(
                std::clamp(wanted, 1.0, double(kMaximumInputRequest)));
            AudioBufferList input;
            input.mNumberBuffers = 1;
            input.mBuffers[0].mNumberChannels = channels;
            const OSStatus given = inputProc(converter, &packets, &input, nullptr, userData);
            converter->converting = true;
            if (packets > 0) {
                const AudioBuffer& in = input.mBuffers[0];
                if (input.mNumberBuffers != 1 || in.mData == nullptr || in.mNumberChannels != channels ||
                    std::uint64_t(in.mDataByteSize) < std::uint64_t(packets) * bytesPerFrame) {
                    return finish(kAudioConverterErr_InvalidInputSize);
                }
                const float* samples = static_cast<const float*>(in.mData);
                converter->pending.insert(converter->pending.end(), samples,
                                          samples + std::size_t(packets) * channels);
            }
            if (given != kAudioHardwareNoError) {
                // Input given with the status is kept and converted by a later call.
                status = given;
                break;
            }
            if (packets == 0) converter->stream = Stream::draining;
        }
        return finish(status);
    }

    OSStatus AudioConverterReset(AudioConverterRef ref) override {
        SoxrConverter* converter = converterOf(ref);
        if (converter == nullptr) return kAudio_ParamError;
        if (converter->soxr != nullptr && soxr_clear(converter->soxr) != nullptr) {
            return kAudioConverterErr_UnspecifiedError;
        }
        converter->pending.clear();
        converter->pendingRead = 0;
        converter->stream = Stream::open;
        converter->converting = false;
        return kAudioHardwareNoError;
    }

    OSStatus AudioConverterDispose(AudioConverterRef ref) override {
        SoxrConverter* converter = converterOf(ref);
        if (converter == nullptr) return kAudio_ParamError;
        delete converter;
        return kAudioHardwareNoError;
    }
};

}  // namespace

AudioConverterService& systemAudioConverters() {
    static SoxrAudioConverters converters;
    return converters;
}

}  // namespace quorvantel
