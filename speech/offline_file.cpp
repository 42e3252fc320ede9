#include "speech/offline_file.h"

#include <cstring>

#include "platform/avfaudio/av_audio_file.h"
#include "speech/speech_failure.h"

namespace quorvantel::speech {

void transcribeFile(const std::string& path, SystemAudioGapPlanner& planner, PCMConverter& converter,
                    AudioSink& session, const ProcessControl& control) {
    std::unique_ptr<AVAudioFile> file = AVAudioFile::openForReading(path, AVAudioCommonFormat::pcmFormatInt16, true);
    const AVAudioFormat& format = file->processingFormat();
    const double rate = format.sampleRate();
    const AVAudioChannelCount channels = format.channelCount();
    if ((rate != 16000 && rate != 48000) || (channels != 1 && channels != 2)) throw SpeechFailure(kOfflineFormatMessage);
    const auto capacity = static_cast<AVAudioFrameCount>(rate) / kOfflinePacketsPerSecond;
    std::shared_ptr<AVAudioPCMBuffer> buffer = AVAudioPCMBuffer::make(format, capacity);
    if (!buffer) throw SpeechFailure(kOfflineAllocationMessage);

    std::int64_t framesRead = 0;
    while (file->framePosition() < file->length()) {
        file->readIntoBuffer(*buffer, capacity);
        const AudioBufferList* list = buffer->audioBufferList();
        if (buffer->frameLength() == 0 || list->mNumberBuffers == 0 || list->mBuffers[0].mData == nullptr) break;
        AudioPacket packet;
        packet.source = Source::systemAudio;
        packet.sampleRate = static_cast<int>(rate);
        packet.channels = static_cast<int>(channels);
        packet.startMs = double(framesRead) / rate * 1000.0;
        const std::size_t bytes = std::size_t(buffer->frameLength()) * channels * 2;
        const auto* samples = static_cast<const std::uint8_t*>(list->mBuffers[0].mData);
        packet.data.assign(samples, samples + bytes);
        appendWithInternalGapPadding(packet, planner, converter, session, control);
        framesRead += buffer->frameLength();
    }
}

}  // namespace quorvantel::speech
