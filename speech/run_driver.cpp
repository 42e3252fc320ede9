#include "speech/run_driver.h"

#include <variant>

#include "speech/availability.h"
#include "speech/input_protocol.h"
#include "speech/signal_watcher.h"
#include "speech/speech_failure.h"

namespace quorvantel::speech {

void run(RunEnvironment& environment, const std::string& locale, const std::optional<std::string>& filePath) {
    SpeechFramework& speech = environment.speech;
    auto supported = supportedTranscriber(speech, locale);
    if (!supported) throw SpeechFailure(kNoTranscriberMessage);
    const TranscriberModules modules{supported->transcriber};
    if (speech.status(modules) != AssetInventoryStatus::installed) throw SpeechFailure(kAssetsNotInstalledMessage);
    speech.reserve(supported->locale);
    const std::optional<AVAudioFormat> format = speech.bestAvailableAudioFormat(modules);
    if (!format) throw SpeechFailure(kNoFormatMessage);

    SignalWatcher signals;
    auto exitProcess = environment.exitProcess;
    signals.start([exitProcess] { exitProcess(kSignalExitStatus); });
    environment.output.emit(json::Object{{"type", "ready"}});

    auto abort = [&](const std::exception& failure) {
        signals.stop();
        environment.output.error(failure.what());
    };

    try {
        (void)filePath;
        LineDecoder decoder;
        bool stopped = false;
        while (!stopped) {
            const std::string chunk = environment.input.read();
            if (chunk.empty()) {
                decoder.finish();
                break;
            }
            for (const std::string& line : decoder.append(chunk)) {
                InputMessage message = parseMessage(line);
                if (std::holds_alternative<StopMessage>(message)) {
                    stopped = true;
                    break;
                }
            }
        }
        environment.output.emit(json::Object{{"type", "stopped"}});
        signals.stop();
    } catch (const std::exception& failure) {
        abort(failure);
        throw;
    }
}

}  // namespace quorvantel::speech
