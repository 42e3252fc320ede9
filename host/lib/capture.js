'use strict';
// quorvantel-capture: the recording of the computer's audio, and its one-line
// commands. A recording writes "started" (48 kHz, 2 channels, the wall-clock origin),
// then "audio" and "silence" lines that cover every frame from 0 exactly once, then
// "stopped" with the total; the app ends it by writing "stop" (or closing the helper's
// input). The client checks the frame arithmetic as the lines arrive, so a hole or an
// overlap in the recording is reported, never passed on.

const { StreamingHelperProcess } = require('./streaming_helper');
const { runOneLine } = require('./one_line');

const HELPER = 'quorvantel-capture';
// The longest line a recording writes is an audio line of 65,536 PCM bytes (87,382
// base64 characters plus its keys); one-line answers such as the application list
// are given more room.
const MAXIMUM_LINE_BYTES = 1048576;
const FRAME_BYTES = 4;
const SAMPLE_RATE = 48000;
const CHANNELS = 2;

class CaptureRecording extends StreamingHelperProcess {
  /**
   * Starts `quorvantel-capture record --all-system` or `record --bundle-id <id>`.
   * Events: "started", "audio" (with `frames` added), "silence", "stopped".
   * @param {{ path: string, allSystem?: boolean, bundleId?: string,
   *           env?: NodeJS.ProcessEnv, signal?: AbortSignal }} options
   */
  constructor({ path, allSystem, bundleId, env, signal }) {
    if ((allSystem === true) === (bundleId !== undefined)) {
      throw new TypeError('Record either all system audio (allSystem: true) or one application (bundleId).');
    }
    const args = allSystem ? ['record', '--all-system'] : ['record', '--bundle-id', String(bundleId)];
    super({ helper: HELPER, path, args, env, signal, maximumLineBytes: MAXIMUM_LINE_BYTES });
    /** Resolves with the "started" event; rejects with the failure if the recording ends first. */
    this.started = new Promise((resolve, reject) => {
      this.#resolveStarted = resolve;
      this.finished.then(
        () => reject(this._error(`${HELPER} ended before it started recording.`, 'protocol')),
        reject,
      );
    });
    this.started.catch(() => {});
  }

  /** The frame the next audio or silence line must start at. */
  get nextFrame() {
    return this.#nextFrame;
  }

  /**
   * Writes "stop": the helper drains, pads to the stop time and writes "stopped".
   * Resolves with the "stopped" event once the helper has exited.
   */
  async stop() {
    await this._writeLines(['stop']);
    this._endInput();
    return this.finished;
  }

  _streamMessage(message) {
    if (message.type !== 'started' && !this.#isStarted) {
      return this._protocolFailure(`${HELPER} wrote ${JSON.stringify(message.type)} before "started".`);
    }
    switch (message.type) {
      case 'started':
        if (this.#isStarted) return this._protocolFailure(`${HELPER} wrote "started" twice.`);
        if (message.sampleRate !== SAMPLE_RATE || message.channels !== CHANNELS || !Number.isSafeInteger(message.captureStartedAtMs)) {
          return this._protocolFailure(`${HELPER} started with a format other than 48 kHz stereo.`);
        }
        this.#isStarted = true;
        this.#resolveStarted(message);
        this._holdForHandoff();
        return this._publish(message);
      case 'audio': {
        if (typeof message.data !== 'string' || typeof message.peak !== 'number') {
          return this._protocolFailure(`${HELPER} wrote an audio line without its fields.`);
        }
        const bytes = Buffer.byteLength(message.data, 'base64');
        if (bytes === 0 || bytes % FRAME_BYTES !== 0) return this._protocolFailure(`${HELPER} wrote audio that is not whole stereo frames.`);
        const frames = bytes / FRAME_BYTES;
        if (!this.#continues(message.startFrame)) return undefined;
        this.#nextFrame += frames;
        return this._publish({ ...message, frames });
      }
      case 'silence':
        if (!Number.isSafeInteger(message.frames) || message.frames < 1) {
          return this._protocolFailure(`${HELPER} wrote a silence line without a frame count.`);
        }
        if (!this.#continues(message.startFrame)) return undefined;
        this.#nextFrame += message.frames;
        return this._publish(message);
      case 'stopped':
        if (message.totalFrames !== this.#nextFrame || !Number.isSafeInteger(message.discardedPreStartFrames)) {
          return this._protocolFailure(`${HELPER} reported ${message.totalFrames} frames where its lines held ${this.#nextFrame}.`);
        }
        return this._stopped(message);
      default:
        return this._unknownType(message);
    }
  }

  _stoppedValue(stopped) {
    return stopped;
  }

  #continues(startFrame) {
    if (startFrame === this.#nextFrame) return true;
    this._protocolFailure(`${HELPER} wrote a line at frame ${startFrame} where frame ${this.#nextFrame} was due.`);
    return false;
  }

  #resolveStarted;
  #isStarted = false;
  #nextFrame = 0;
}

/**
 * One of the helper's one-line commands: "list", "meeting-metadata", "display-status"
 * or "selftest". Resolves with the line; rejects with the helper's error line.
 * "display-status" exits 1 after a failed query and still answers with its line.
 * @param {{ path: string, args: string[], env?: NodeJS.ProcessEnv, signal?: AbortSignal, type: string }} options
 */
function captureCommand({ path, args, env, signal, type }) {
  return runOneLine({
    helper: HELPER,
    path,
    args,
    env,
    signal,
    maximumLineBytes: MAXIMUM_LINE_BYTES,
    errorLine: true,
    accept: (line, exit) => line.type === type && (exit.code === 0 || (type === 'display-status' && exit.code === 1)),
  });
}

module.exports = { CaptureRecording, captureCommand };
