#include "platform/sim/audiotoolbox/audio_file_source.h"

#include <sndfile.h>
#include <soxr.h>

#include "platform/sim/scenario.h"

namespace quorvantel::sim {
namespace {

// The longest file the stand-in plays: one hour at 192 kHz stereo.
constexpr sf_count_t kMaximumFileFrames = sf_count_t(192'000) * 3'600;

}  // namespace

std::vector<float> readAudioFileFrames(const std::string& path, double rate, std::uint32_t channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        throw ScenarioError("audio.source: cannot read " + path + ": " + sf_strerror(nullptr));
    }
    if (info.channels < 1 || info.frames < 0 || info.frames > kMaximumFileFrames || info.samplerate < 1) {
        sf_close(file);
        throw ScenarioError("audio.source: " + path + " is too long or has no audio");
    }
    std::vector<float> raw(std::size_t(info.frames) * std::size_t(info.channels));
    const sf_count_t read = sf_readf_float(file, raw.data(), info.frames);
    sf_close(file);
    if (read != info.frames) throw ScenarioError("audio.source: cannot read all of " + path);

    std::vector<float> frames(std::size_t(info.frames) * channels);
    for (sf_count_t i = 0; i < info.frames; ++i) {
        const float* in = raw.data() + std::size_t(i) * std::size_t(info.channels);
        const float left = in[0];
        const float right = info.channels > 1 ? in[1] : in[0];
        if (channels == 1) {
            frames[std::size_t(i)] = 0.5f * (left + right);
        } else {
            frames[std::size_t(i) * 2] = left;
            frames[std::size_t(i) * 2 + 1] = right;
        }
    }
    if (double(info.samplerate) == rate || frames.empty()) return frames;

    const std::size_t outputFrames = std::size_t(double(info.frames) * rate / double(info.samplerate)) + 1;
    std::vector<float> resampled(outputFrames * channels);
    std::size_t made = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_error_t error = soxr_oneshot(double(info.samplerate), rate, channels, frames.data(),
                                            std::size_t(info.frames), nullptr, resampled.data(), outputFrames, &made,
                                            &io, &quality, nullptr);
    if (error != nullptr) throw ScenarioError("audio.source: cannot resample " + path + ": " + error);
    resampled.resize(made * channels);
    return resampled;
}

}  // namespace quorvantel::sim
