'use strict';
// quorvantel-speech run: the live transcription of one recording. The helper writes
// {"type":"ready"} once both recognition sessions exist; the app then writes audio
// packets of the two sources and finally {"type":"stop"}; segment lines come back on
// the recording timeline of the packets, then {"type":"stopped"}. A failure is one
// error line, always the last, and exit status 1.

const { StreamingHelperProcess } = require('./streaming_helper');
const { audioPackets, systemAudioPackets } = require('./audio_packets');
const { runOneLine } = require('./one_line');

const HELPER = 'quorvantel-speech';
// The helper never writes a line longer than this (without its line feed).
const MAXIMUM_LINE_BYTES = 524288;
const STOP_LINE = JSON.stringify({ type: 'stop' });

class SpeechRun extends StreamingHelperProcess {
  /**
   * Starts `quorvantel-speech run --locale <locale>`. Events ("ready", "segment",
   * "stopped") arrive in order; a listener or loop set up right after `await ready`
   * still sees every segment.
   * @param {{ path: string, locale?: string, env?: NodeJS.ProcessEnv, signal?: AbortSignal }} options
   */
  constructor({ path, locale = 'en-US', env, signal }) {
    super({ helper: HELPER, path, args: ['run', '--locale', locale], env, signal, maximumLineBytes: MAXIMUM_LINE_BYTES });
    this.locale = locale;
    /** Resolves once the helper is ready for audio; rejects with its failure if it ends first. */
    this.ready = new Promise((resolve, reject) => {
      this.#resolveReady = resolve;
      this.finished.then(
        () => reject(this._error(`${HELPER} ended before it was ready.`, 'protocol')),
        reject,
      );
    });
    this.ready.catch(() => {});
  }

  /**
   * Writes 48 kHz stereo PCM of the computer's audio whose first frame is `startFrame`
   * on the capture helper's frame clock, cut into packets the helper accepts.
   * Resolves once the helper's input pipe has taken every packet.
   * @param {Uint8Array} pcm interleaved 16-bit little-endian samples, left then right
   * @param {number} startFrame
   */
  sendSystemAudio(pcm, startFrame) {
    return this.#send(() => systemAudioPackets(pcm, startFrame));
  }

  /**
   * Writes microphone PCM starting at `startMs` on the recording timeline.
   * @param {Uint8Array} pcm interleaved 16-bit little-endian samples
   * @param {{ startMs: number, sampleRate?: 16000 | 48000, channels?: 1 | 2 }} timing
   */
  sendMicrophone(pcm, { startMs, sampleRate = 48000, channels = 1 }) {
    return this.#send(() => audioPackets({ source: 'microphone', sampleRate, channels, startMs, pcm }));
  }

  /**
   * Writes audio of either source, cut into packets the helper accepts.
   * @param {{ source: 'microphone' | 'system-audio', sampleRate: 16000 | 48000,
   *           channels: 1 | 2, startMs: number, pcm: Uint8Array }} audio
   */
  sendAudio(audio) {
    return this.#send(() => audioPackets(audio));
  }

  /**
   * Writes one input line as given, without the client's checks: for packets built
   * elsewhere. The helper validates it and fails the run if it is wrong.
   * @param {object} message
   */
  sendLine(message) {
    return this._writeLines([JSON.stringify(message)]);
  }

  /**
   * Asks the helper to finish: it flushes both sources, lets the recognisers deliver
   * their last results and writes "stopped". Resolves with the exit once it has.
   */
  async stop() {
    await this._writeLines([STOP_LINE]);
    this._endInput();
    return this.finished;
  }

  async #send(packetsOf) {
    // Built first, so a bad argument throws before anything is written.
    const packets = packetsOf();
    return this._writeLines(packets.map((packet) => JSON.stringify(packet)));
  }

  _streamMessage(message) {
    switch (message.type) {
      case 'ready':
        if (this.#isReady) return this._protocolFailure(`${HELPER} wrote "ready" twice.`);
        this.#isReady = true;
        this.#resolveReady(message);
        this._holdForHandoff();
        return this._publish(message);
      case 'segment':
        if (!this.#isReady) return this._protocolFailure(`${HELPER} wrote a segment before "ready".`);
        if (!isSegment(message)) return this._protocolFailure(`${HELPER} wrote a segment line without its fields.`);
        return this._publish(message);
      case 'stopped':
        return this._stopped(message);
      default:
        return this._unknownType(message);
    }
  }

  _stoppedValue() {
    return { exitCode: 0 };
  }

  #resolveReady;
  #isReady = false;
}

function isSegment(m) {
  return (
    (m.source === 'microphone' || m.source === 'system-audio') &&
    typeof m.id === 'string' &&
    Number.isSafeInteger(m.startMs) &&
    Number.isSafeInteger(m.endMs) &&
    typeof m.timingSource === 'string' &&
    typeof m.text === 'string' &&
    typeof m.isFinal === 'boolean'
  );
}

/**
 * One of the helper's one-line commands: "probe" or "prepare" (an availability line)
 * or "selftest". Resolves with the line; rejects with the helper's error line.
 * @param {{ path: string, args: string[], env?: NodeJS.ProcessEnv, signal?: AbortSignal, type: string }} options
 */
function speechCommand({ path, args, env, signal, type }) {
  return runOneLine({
    helper: HELPER,
    path,
    args,
    env,
    signal,
    maximumLineBytes: MAXIMUM_LINE_BYTES,
    errorLine: true,
    accept: (line, exit) => exit.code === 0 && line.type === type,
  });
}

module.exports = { SpeechRun, speechCommand };
