'use strict';
// The helpers that answer one request with one line: the four analysis helpers, the
// calendar helper and the capture helper's short commands. The request (if any) is
// written whole, without a line feed of its own (it counts towards the helper's
// request limit), and the input closed; the answer is exactly one JSON line.

const { HelperProcess } = require('./helper_process');

class OneLineCall extends HelperProcess {
  /**
   * @param {{ helper: string, path: string, args: string[], env?: NodeJS.ProcessEnv,
   *           signal?: AbortSignal, maximumLineBytes: number, input?: string,
   *           errorLine?: boolean, accept: (line: object, exit: {code: number | null, signal: string | null}) => boolean }} options
   */
  constructor(options) {
    super(options);
    this.#accept = options.accept;
    this.#errorLine = options.errorLine === true;
  }

  _message(message) {
    if (this.#line !== null) return this._protocolFailure(`${this.helper} wrote more than one line.`);
    this.#line = message;
    return undefined;
  }

  _outcome(exit) {
    const line = this.#line;
    if (line === null) throw this._exitError(exit, 'without an answer');
    if (this.#errorLine && line.type === 'error' && typeof line.message === 'string') {
      throw this._error(line.message, 'error-line', exit);
    }
    if (!this.#accept(line, exit)) {
      if (exit.code !== 0) throw this._exitError(exit, 'after its answer');
      throw this._error(`${this.helper} answered with a line its command does not write.`, 'protocol', exit);
    }
    return line;
  }

  #accept;
  #errorLine;
  #line = null;
}

/**
 * Runs the helper once and resolves with its one line.
 * @param {ConstructorParameters<typeof OneLineCall>[0]} options
 */
async function runOneLine(options) {
  const call = new OneLineCall(options);
  if (options.input !== undefined) {
    // A helper may answer without reading (a doctor report, an unusable model); its
    // closed input is not a failure of the call, its answer says what happened.
    try {
      await call._writeChunks([options.input]);
    } catch {
      // The outcome below carries the helper's own account.
    }
  }
  call._endInput();
  return call.finished;
}

module.exports = { runOneLine };
