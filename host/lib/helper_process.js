'use strict';
// One helper as a child process that speaks JSON lines: the part every helper client
// shares. It frames standard output into lines and hands each line, in order, to the
// protocol of the helper (a subclass); it holds delivery while the app is not ready
// for more (pause, or a slow async iterator), which stops reading the pipe so that
// the helper itself waits instead of the app buffering without bound; it writes lines
// to the helper's standard input one at a time and waits for the pipe to take each
// before the next; and it turns the helper's end (its error line, exit status,
// signal) into one outcome, `finished`.

const { spawn } = require('node:child_process');
const { EventEmitter } = require('node:events');
const { LineSplitter, LineTooLongError } = require('./line_splitter');
const { HelperError } = require('./errors');

// What is kept of a helper's standard error for the failure report: its last bytes.
const STDERR_TAIL_BYTES = 8192;
// An async iterator that falls this many events behind pauses the helper's output,
// and lets it flow again once it has caught up to LOW.
const ITERATOR_HIGH_WATER_EVENTS = 64;
const ITERATOR_LOW_WATER_EVENTS = 16;
// Events held for an app that has not yet started to consume them (no listener, no
// iterator, no resume): beyond this many the helper's output is held in its pipe.
const UNCLAIMED_HIGH_WATER_EVENTS = 256;
// Writes that may wait for the one under way: one per source of audio and a stop,
// with room to spare; more means a caller is not awaiting its writes.
const MAXIMUM_WAITING_WRITES = 4;

class HelperProcess extends EventEmitter {
  /**
   * @param {{ helper: string, path: string, args: string[], env?: NodeJS.ProcessEnv,
   *           maximumLineBytes: number, signal?: AbortSignal }} options
   */
  constructor(options) {
    super();
    this.helper = options.helper;
    this.#splitter = new LineSplitter(options.maximumLineBytes);
    this.finished = new Promise((resolve, reject) => {
      this.#resolveFinished = resolve;
      this.#rejectFinished = reject;
    });
    // The outcome is also delivered through events and iterators; an app that only
    // listens there must not see an unhandled rejection.
    this.finished.catch(() => {});
    // Events wait for the app's first listener (or iterator, or resume), so none is
    // lost between starting the helper and listening to it. The listener is added
    // after this notice, and any others the app adds at once join it.
    this.on('newListener', (name) => {
      if (name !== 'newListener' && name !== 'removeListener' && !this.#claimed) queueMicrotask(() => this.#claim());
    });

    const child = spawn(options.path, options.args, {
      env: options.env ?? process.env,
      stdio: ['pipe', 'pipe', 'pipe'],
      signal: options.signal,
    });
    this.#child = child;
    child.on('error', (error) => this.#spawnFailed(error));
    child.stdin.on('error', (error) => {
      // The helper closed its input (it stopped, or it failed): what that means is
      // told by its outcome, which settles every waiting write.
      this.#stdinError = error;
    });
    child.stdout.on('data', (chunk) => this.#received(chunk));
    child.stderr.on('data', (chunk) => {
      this.#stderr = Buffer.concat([this.#stderr, chunk]);
      if (this.#stderr.length > STDERR_TAIL_BYTES) this.#stderr = this.#stderr.subarray(this.#stderr.length - STDERR_TAIL_BYTES);
    });
    child.on('close', (code, signal) => {
      this.#exit = { code, signal };
      this.#settleWhenDelivered();
    });
  }

  /** The helper's process identifier (undefined if it could not start). */
  get pid() {
    return this.#child.pid;
  }

  /**
   * Bytes written to the helper's standard input that its pipe has not yet taken:
   * at most the one line being written, since each write waits for the pipe.
   */
  get pendingInputBytes() {
    return this.#child.stdin.writableLength;
  }

  /** Holds the delivery of further lines, and the reading of the helper's output. */
  pause() {
    this.#pauseFor('app');
  }

  /** Delivers held lines and goes on reading (and starts delivery if nothing listens yet). */
  resume() {
    this.#claim();
    this.#resumeFor('app');
  }

  /** Sends a signal to the helper (SIGTERM unless told). */
  kill(signal = 'SIGTERM') {
    this.#child.kill(signal);
  }

  /**
   * Every event of the helper in order, pulled at the app's pace: while the app is
   * busy with one event the helper's output is held once a few dozen are waiting.
   * Ends after the last event when the helper ends as its protocol allows, and throws
   * its failure (the error line's message) after the events before it.
   * @returns {AsyncIterableIterator<any>}
   */
  [Symbol.asyncIterator]() {
    if (this.#iterator) throw new Error(`${this.helper}: its events are already being iterated.`);
    const buffer = [];
    let waiting = null;
    let done = false;
    let failure = null;
    const wake = () => {
      if (waiting) {
        const w = waiting;
        waiting = null;
        w();
      }
    };
    this.#iterator = (event) => {
      buffer.push(event);
      if (buffer.length >= ITERATOR_HIGH_WATER_EVENTS) this.#pauseFor('iterator');
      wake();
    };
    this.#claim();
    this.finished.then(
      () => {
        done = true;
        wake();
      },
      (error) => {
        failure = error;
        done = true;
        wake();
      },
    );
    const self = this;
    return {
      async next() {
        for (;;) {
          if (buffer.length > 0) {
            const value = buffer.shift();
            if (buffer.length <= ITERATOR_LOW_WATER_EVENTS) self.#resumeFor('iterator');
            return { value, done: false };
          }
          self.#resumeFor('iterator');
          if (done) {
            self.#iterator = null;
            if (failure) {
              const error = failure;
              failure = null;
              throw error;
            }
            return { value: undefined, done: true };
          }
          await new Promise((resolve) => {
            waiting = resolve;
          });
        }
      },
      async return() {
        // The app left the loop early: nothing is held back for it any longer.
        self.#iterator = null;
        buffer.length = 0;
        self.#resumeFor('iterator');
        return { value: undefined, done: true };
      },
      [Symbol.asyncIterator]() {
        return this;
      },
    };
  }

  // ---- For the helper's protocol (subclasses). ----

  /**
   * Writes lines to the helper's standard input, each only once the pipe has taken
   * the one before, and resolves once the pipe has taken the last: at most one line
   * ever waits in the app's stream. Writes made while another is under way wait their
   * turn (the microphone and the system audio may each have one going); their lines
   * never interleave. Beyond a few waiting writes the next is refused rather than
   * queued: a caller must await each write before its next.
   * @param {string[]} lines without their line feeds
   */
  async _writeLines(lines) {
    return this._writeChunks(lines.map((line) => line + '\n'));
  }

  /**
   * Writes text to the helper's standard input as it stands, one piece at a time, with
   * the same discipline as `_writeLines`.
   * @param {string[]} chunks
   */
  async _writeChunks(chunks) {
    if (this.#writing) {
      if (this.#waitingWrites.length >= MAXIMUM_WAITING_WRITES) {
        throw new Error(`${this.helper}: ${MAXIMUM_WAITING_WRITES} writes are already waiting; await each write before the next.`);
      }
      await new Promise((resolve) => this.#waitingWrites.push(resolve));
    }
    this.#writing = true;
    try {
      for (const chunk of chunks) await this.#writeOne(chunk);
    } finally {
      const next = this.#waitingWrites.shift();
      if (next) next();
      else this.#writing = false;
    }
  }

  async #writeOne(chunk) {
    if (this.#outcome) throw this.#outcome.error ?? new Error(`${this.helper} has already ended.`);
    if (this.#inputEnded) throw new Error(`${this.helper}: its input is already closed.`);
    const stdin = this.#child.stdin;
    if (!stdin.write(chunk)) {
      await new Promise((resolve) => {
        const done = () => {
          stdin.off('drain', done);
          this.#ended.off('ended', done);
          resolve();
        };
        stdin.on('drain', done);
        this.#ended.on('ended', done);
      });
    }
    if (this.#outcome) {
      // The helper ended before it took the line.
      if (this.#outcome.error) throw this.#outcome.error;
      if (this.#stdinError) throw new Error(`${this.helper} stopped reading its input: ${this.#stdinError.message}`);
    }
  }

  /** Closes the helper's standard input (the helper sees end of input). */
  _endInput() {
    if (this.#inputEnded) return;
    this.#inputEnded = true;
    this.#child.stdin.end();
  }

  /**
   * Holds the events that follow a promise the app awaits (capture's "started",
   * speech's "ready") until the app's code after that await has run, so a loop or a
   * listener it sets up there sees every later event.
   */
  _holdForHandoff() {
    this.#pauseFor('handoff');
    setImmediate(() => this.#resumeFor('handoff'));
  }

  /** Hands one event to listeners (by its type) and to the iterator. */
  _publish(event) {
    if (!this.#claimed) {
      this.#held.push(event);
      if (this.#held.length >= UNCLAIMED_HIGH_WATER_EVENTS) this.#pauseFor('unclaimed');
      return;
    }
    this.emit(event.type, event);
    if (this.#iterator) this.#iterator(event);
  }

  /**
   * Ends the helper because it broke its protocol; `finished` rejects with this.
   * @param {string} message
   */
  _protocolFailure(message) {
    if (!this.#protocolError) {
      this.#protocolError = this._error(message, 'protocol');
      this.#queue.length = 0;
      this.#child.kill('SIGKILL');
    }
  }

  /** A HelperError about this helper, with what is known of its end so far. */
  _error(message, kind, exit = this.#exit) {
    return new HelperError(message, {
      helper: this.helper,
      kind,
      exitCode: exit ? exit.code : null,
      signal: exit ? exit.signal : null,
      stderr: this.#stderr.toString('utf8'),
    });
  }

  /** A failure for an exit the protocol does not allow, with the helper's stderr. */
  _exitError(exit, expectation) {
    const how = exit.signal ? `was ended by signal ${exit.signal}` : `exited with status ${exit.code}`;
    const stderr = this.#stderr.toString('utf8').trim();
    return this._error(`${this.helper} ${how} ${expectation}${stderr ? `: ${stderr}` : '.'}`, 'exit', exit);
  }

  /** Protocol hook: one parsed line (a JSON object), in order. */
  _message(_message) {}

  /**
   * Protocol hook: the helper has ended and every line has been handed over. Returns
   * the value `finished` resolves with, or throws the failure it rejects with.
   * @param {{ code: number | null, signal: string | null }} _exit
   */
  _outcome(_exit) {}

  // ---- Internals. ----

  #child;
  #splitter;
  #queue = [];
  #pausedBy = new Set();
  #iterator = null;
  #claimed = false;
  #held = [];
  #writing = false;
  #waitingWrites = [];
  #inputEnded = false;
  #stdinError = null;
  #stderr = Buffer.alloc(0);
  #exit = null;
  #outcome = null;
  #protocolError = null;
  #ended = new EventEmitter();
  #resolveFinished;
  #rejectFinished;

  #received(chunk) {
    if (this.#protocolError) return;
    let lines;
    try {
      lines = this.#splitter.push(chunk);
    } catch (error) {
      if (!(error instanceof LineTooLongError)) throw error;
      this._protocolFailure(`${this.helper} wrote a line longer than ${error.limit} bytes.`);
      return;
    }
    for (const line of lines) this.#queue.push(line);
    this.#deliver();
  }

  #deliver() {
    while (this.#queue.length > 0 && this.#pausedBy.size === 0 && !this.#protocolError) {
      const line = this.#queue.shift();
      let message;
      try {
        message = JSON.parse(line);
      } catch {
        this._protocolFailure(`${this.helper} wrote a line that is not JSON.`);
        break;
      }
      if (message === null || typeof message !== 'object' || Array.isArray(message)) {
        this._protocolFailure(`${this.helper} wrote a line that is not a JSON object.`);
        break;
      }
      this._message(message);
    }
    this.#settleWhenDelivered();
  }

  #claim() {
    if (this.#claimed) return;
    this.#claimed = true;
    const held = this.#held;
    this.#held = [];
    for (const event of held) this._publish(event);
    this.#resumeFor('unclaimed');
  }

  #pauseFor(who) {
    this.#pausedBy.add(who);
    this.#child.stdout.pause();
  }

  #resumeFor(who) {
    if (!this.#pausedBy.delete(who)) return;
    if (this.#pausedBy.size > 0) return;
    this.#deliver();
    if (this.#pausedBy.size === 0) this.#child.stdout.resume();
  }

  #settleWhenDelivered() {
    if (this.#outcome || !this.#exit) return;
    if (!this.#protocolError && (this.#queue.length > 0 || this.#pausedBy.size > 0)) return;
    if (!this.#protocolError && this.#splitter.hasPartialLine) {
      this.#protocolError = this._error(`${this.helper} ended its output in the middle of a line.`, 'protocol');
    }
    if (this.#protocolError) {
      this.#settle({ error: this.#protocolError });
      return;
    }
    try {
      this.#settle({ value: this._outcome(this.#exit) });
    } catch (error) {
      this.#settle({ error });
    }
  }

  #spawnFailed(error) {
    if (this.#outcome) return;
    // Aborting the call's signal ends the process; that is the app's own decision,
    // told apart from a helper that could not be started.
    const aborted = error.name === 'AbortError';
    const failure = new HelperError(
      aborted ? `${this.helper} was ended because the call was aborted.` : `${this.helper} could not be started: ${error.message}`,
      { helper: this.helper, kind: aborted ? 'aborted' : 'start', cause: error },
    );
    this.#settle({ error: failure });
  }

  #settle(outcome) {
    if (this.#outcome) return;
    this.#outcome = outcome;
    this.#ended.emit('ended');
    if (outcome.error) this.#rejectFinished(outcome.error);
    else this.#resolveFinished(outcome.value);
  }
}

module.exports = { HelperProcess, ITERATOR_HIGH_WATER_EVENTS, MAXIMUM_WAITING_WRITES };
