'use strict';
// quorvantel-calendar: one process per request. The answer is the helper's response
// object: `status` "ok" with the command's result, or "error" with a `reason`
// ("invalid-request", "permission-required", "calendar-unavailable", "result-limit",
// "access-failed"), which the app handles as an answer. The call rejects only when
// the helper breaks its protocol.

const { runOneLine } = require('./one_line');

const HELPER = 'quorvantel-calendar';
// The helper's own response limit is 8,388,608 bytes (its line feed aside).
const MAXIMUM_LINE_BYTES = 8388608;

function isResponse(line, exit) {
  return exit.code === 0 && line.schemaVersion === 1 && (line.status === 'ok' || line.status === 'error');
}

function calendarCall(args, input, { pathOf, env, signal }) {
  return runOneLine({
    helper: HELPER,
    path: pathOf(HELPER),
    args,
    input,
    env,
    signal,
    maximumLineBytes: MAXIMUM_LINE_BYTES,
    accept: isResponse,
  });
}

/** One request object, e.g. { command: "get-access" }. */
function calendarRequest(request, context) {
  return calendarCall([], JSON.stringify(request), context);
}

/**
 * The calendar commands, one process each.
 * @param {{ pathOf: (helper: string) => string, env?: NodeJS.ProcessEnv }} context
 */
function calendarClient(context) {
  const withSignal = (options) => ({ ...context, signal: options?.signal });
  return {
    /** The current access, without asking the user. */
    getAccess: (options) => calendarRequest({ command: 'get-access' }, withSignal(options)),
    /** Asks the user for full access if not yet decided (waits up to 90 seconds). */
    requestFullAccess: (options) => calendarRequest({ command: 'request-full-access' }, withSignal(options)),
    listCalendars: (options) => calendarRequest({ command: 'list-calendars' }, withSignal(options)),
    /**
     * The timed occurrences of the calendars in a window of at most 31 days, each
     * with its meeting key and join link (or null).
     */
    listOccurrences: ({ calendarIds, startMs, endMs }, options) =>
      calendarRequest({ command: 'list-occurrences', calendarIds, startMs, endMs }, withSignal(options)),
    /** Any request object as it stands (the helper judges it). */
    request: (request, options) => calendarRequest(request, withSignal(options)),
    selfTest: (options) => calendarCall(['--self-test'], undefined, withSignal(options)),
  };
}

module.exports = { calendarClient };
