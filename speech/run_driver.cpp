#include "speech/run_driver.h"

#include <array>
#include <memory>
#include <unistd.h>
#include <variant>

#include "speech/availability.h"
#include "speech/gap_planner.h"
#include "speech/input_protocol.h"
#include "speech/offline_file.h"
#include "speech/pcm_converter.h"
#include "speech/process_end.h"
#include "speech/signal_watcher.h"
#include "speech/speech_failure.h"
#include "speech/stream_session.h"

namespace quorvantel::speech {
namespace {

// Everything one run owns, for its whole duration.
struct RunState {
    std::array<std::shared_ptr<StreamSession>, 2> sessions;
    std::array<std::unique_ptr<PCMConverter>, 2> converters;
    SystemAudioGapPlanner planner;
    std::shared_ptr<SessionFailures> failures;

    void cancelEverySession() {
        for (Source source : kAllSources) {
            if (auto& session = sessions[indexOf(source)]) session->cancelImmediately();
        }
    }
};

void flush(RunState& state) {
    for (Source source : kAllSources) {
        PCMConverter& converter = *state.converters[indexOf(source)];
        const ConvertedBuffers tail = converter.hasActiveRun() ? converter.flush() : ConvertedBuffers{};
        state.planner.validateOutput(tail, source);
        state.sessions[indexOf(source)]->append(tail);
    }
    for (Source source : kAllSources) state.sessions[indexOf(source)]->finishInput();
    for (Source source : kAllSources) {
        state.sessions[indexOf(source)]->awaitAnalysis();
        state.sessions[indexOf(source)]->awaitResults();
    }
}

void readInput(RunState& state, RunEnvironment& environment, const ProcessControl& control) {
    LineDecoder decoder;
    while (true) {
        const std::string chunk = environment.input.read();
        if (chunk.empty()) {
            decoder.finish();
            return;
        }
        for (const std::string& line : decoder.append(chunk)) {
            InputMessage message = parseMessage(line);
            // Nothing after "stop" is read, not even the rest of this chunk.
            if (std::holds_alternative<StopMessage>(message)) return;
            const AudioPacket& packet = std::get<AudioPacket>(message);
            const std::size_t index = indexOf(packet.source);
            appendWithInternalGapPadding(packet, state.planner, *state.converters[index], *state.sessions[index],
                                         control);
        }
    }
}

}  // namespace

void run(RunEnvironment& environment, const std::string& locale, const std::optional<std::string>& filePath) {
    SpeechFramework& speech = environment.speech;
    auto supported = supportedTranscriber(speech, locale);
    if (!supported) throw SpeechFailure(environment.wording.noTranscriber);
    const TranscriberModules modules{supported->transcriber};
    if (speech.status(modules) != AssetInventoryStatus::installed) {
        throw SpeechFailure(environment.wording.assetsNotInstalled);
    }
    speech.reserve(supported->locale);
    const std::optional<AVAudioFormat> format = speech.bestAvailableAudioFormat(modules);
    if (!format) throw SpeechFailure(environment.wording.noFormat);

    const ProcessControl control{environment.output, environment.exitProcess};
    RunState state;
    state.failures = std::make_shared<SessionFailures>(control);
    try {
        for (Source source : kAllSources) {
            auto transcriber =
                speech.makeTranscriber(supported->locale, TranscriberPreset::timeIndexedProgressiveTranscription);
            auto session =
                StreamSession::make(source, std::move(transcriber), *format, speech, state.failures,
                                    environment.output, environment.wording);
            state.sessions[indexOf(source)] = session;
            state.failures->add(session);
            state.converters[indexOf(source)] = std::make_unique<PCMConverter>(*format);
        }
    } catch (...) {
        state.cancelEverySession();
        throw;
    }

    SignalWatcher signals;
    std::array<std::shared_ptr<StreamSession>, 2> sessions = state.sessions;
    ProtocolOutput& output = environment.output;
    signals.start([sessions, &output] {
        // The host asked for the end: no line at all, not even the error the driver
        // meets when its session is stopped under it.
        if (!claimProcessEndForSignal()) return;
        output.close();
        for (const auto& session : sessions) session->cancelImmediately();
        _exit(kSignalExitStatus);
    });
    environment.output.emit(json::Object{{"type", "ready"}});

    try {
        if (filePath) {
            const std::size_t system = indexOf(Source::systemAudio);
            transcribeFile(*filePath, state.planner, *state.converters[system], *state.sessions[system], control);
        } else {
            readInput(state, environment, control);
        }
        flush(state);
    } catch (const std::exception& failure) {
        signals.stop();
        environment.output.error(failure.what());
        state.cancelEverySession();
        throw;
    }
    environment.output.emit(json::Object{{"type", "stopped"}});
    signals.stop();
}

}  // namespace quorvantel::speech
