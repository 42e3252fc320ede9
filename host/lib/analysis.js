'use strict';
// The four meeting analysis helpers: one process per question, the request written to
// its standard input, one result envelope back. Every outcome, a failure included,
// is an envelope with a `status` ("complete", "abstained", "failed", "unavailable",
// "available" for the doctor report); the call rejects only when the helper breaks
// that rule (no line, two lines, a line that is not an envelope, a bad exit).

const { runOneLine } = require('./one_line');

// Each helper's executable and the flag that asks it the question.
const ANALYSIS_HELPERS = Object.freeze({
  chapters: Object.freeze({ helper: 'quorvantel-meeting-chapters', flag: '--analyze' }),
  titles: Object.freeze({ helper: 'quorvantel-meeting-titles', flag: '--suggest' }),
  topics: Object.freeze({ helper: 'quorvantel-meeting-topics', flag: '--analyze' }),
  categories: Object.freeze({ helper: 'quorvantel-meeting-categories', flag: '--classify' }),
});
// An envelope is a few hundred bytes (the request is at most 4000); the bound only
// keeps a broken helper from growing a line without end.
const MAXIMUM_LINE_BYTES = 65536;

function helperOf(kind) {
  const entry = ANALYSIS_HELPERS[kind];
  if (!entry) throw new RangeError(`Unknown analysis helper "${kind}": use chapters, titles, topics or categories.`);
  return entry;
}

function call(kind, args, input, { pathOf, env, signal }) {
  const { helper } = helperOf(kind);
  return runOneLine({
    helper,
    path: pathOf(helper),
    args,
    input,
    env,
    signal,
    maximumLineBytes: MAXIMUM_LINE_BYTES,
    accept: (line, exit) => exit.code === 0 && typeof line.status === 'string',
  });
}

/**
 * Asks one analysis helper about a transcript request.
 * @param {'chapters' | 'titles' | 'topics' | 'categories'} kind
 * @param {object} request the helper's request object (serialised as JSON)
 * @param {{ pathOf: (helper: string) => string, env?: NodeJS.ProcessEnv, signal?: AbortSignal }} context
 */
function analyze(kind, request, context) {
  return call(kind, [helperOf(kind).flag], JSON.stringify(request), context);
}

/** The helper's self-report (`--doctor`): availability, limits and versions. */
function analysisDoctor(kind, context) {
  return call(kind, ['--doctor'], undefined, context);
}

module.exports = { analyze, analysisDoctor, ANALYSIS_HELPERS };
