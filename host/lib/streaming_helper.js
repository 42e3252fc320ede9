'use strict';

// The lifecycle the two long-running helpers (capture and speech) share: their own
// lines until one terminal line, either "stopped" or an error line, and nothing
// after it. Each subclass handles its own line types and says what `finished`
// resolves with after a clean stop.

const { HelperProcess } = require('./helper_process');

class StreamingHelperProcess extends HelperProcess {
  _message(message) {
    if (this.#errorMessage !== null) return this._protocolFailure(`${this.helper} wrote a line after its error line.`);
    if (this.#stopped !== null) return this._protocolFailure(`${this.helper} wrote a line after "stopped".`);
    if (message.type !== 'error') return this._streamMessage(message);
    if (typeof message.message !== 'string') return this._protocolFailure(`${this.helper} wrote an error line without a message.`);
    this.#errorMessage = message.message;
    return undefined;
  }

  _outcome(exit) {
    if (this.#errorMessage !== null) throw this._error(this.#errorMessage, 'error-line', exit);
    if (exit.code === 0 && this.#stopped !== null) return this._stoppedValue(this.#stopped);
    if (exit.code === 0) throw this._error(`${this.helper} exited without its "stopped" line.`, 'protocol', exit);
    throw this._exitError(exit, 'without an error line');
  }

  /** Records the terminal "stopped" line and hands it to listeners. */
  _stopped(message) {
    this.#stopped = message;
    return this._publish(message);
  }

  /** Ends the helper for a line type its protocol does not have. */
  _unknownType(message) {
    return this._protocolFailure(`${this.helper} wrote a line of unknown type ${JSON.stringify(message.type)}.`);
  }

  /** Protocol hook: one line that is not the error line, before any terminal line. */
  _streamMessage(_message) {}

  /** Protocol hook: what `finished` resolves with after the given "stopped" line. */
  _stoppedValue(_stopped) {}

  #stopped = null;
  #errorMessage = null;
}

module.exports = { StreamingHelperProcess };
