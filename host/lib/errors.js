'use strict';
// The failures the client reports. A helper's own failure keeps the helper's message
// exactly as written, so the app can show it; everything the client itself notices
// about a helper (a bad line, an unexpected exit) says which helper and what happened.

/**
 * A helper reported a failure (its `error` line), or ended in a way its protocol does
 * not allow.
 */
class HelperError extends Error {
  /**
   * @param {string} message the helper's own message, or the client's description
   * @param {{ helper: string, kind: 'error-line' | 'exit' | 'protocol' | 'start' | 'aborted',
   *           exitCode?: number | null, signal?: string | null, stderr?: string, cause?: unknown }} details
   */
  constructor(message, details) {
    super(message, details.cause === undefined ? undefined : { cause: details.cause });
    this.name = 'HelperError';
    /** The helper's executable name, e.g. "quorvantel-speech". */
    this.helper = details.helper;
    /**
     * "error-line": the helper wrote its error line and `message` is that line's text;
     * "exit": it ended with a status or signal its protocol does not allow;
     * "protocol": it wrote something the protocol does not allow;
     * "start": it could not be started;
     * "aborted": the call's AbortSignal ended it.
     */
    this.kind = details.kind;
    /** The exit status, once known; null when a signal ended the process. */
    this.exitCode = details.exitCode ?? null;
    /** The signal that ended the process, if one did. */
    this.signal = details.signal ?? null;
    /** The end of what the helper wrote on standard error (bounded). */
    this.stderr = details.stderr ?? '';
  }
}

module.exports = { HelperError };
