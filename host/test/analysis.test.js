'use strict';
// The four analysis helpers through the client, on the stand-in model (a built-in
// extractive model that answers from the passages): every outcome is an envelope,
// and only a helper that breaks the one-line rule makes a call reject.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { analyze, HelperError } = require('..');
const { helpersOn, fakeHelper } = require('./support');

const passages = [
  { reference: 'p1', text: 'Good morning, can everyone hear me?' },
  { reference: 'p2', text: 'Let us plan the loading dock access schedule for the warehouse.' },
  { reference: 'p3', text: 'The loading dock access badges are due by Friday, that is the deadline.' },
  { reference: 'p4', text: 'Next, the volunteer training program starts in March.' },
  { reference: 'p5', text: 'Volunteer training covers safety drills and first aid.' },
];
const references = new Set(passages.map((p) => p.reference));
const base = { schemaVersion: 1, locale: 'en-US', segments: passages };

const requests = {
  chapters: base,
  titles: { ...base, phase: 'extract' },
  topics: base,
  categories: base,
};

// The references an envelope cites, wherever its helper puts them.
function cited(kind, envelope) {
  switch (kind) {
    case 'chapters': return envelope.chapters.map((c) => c.startReference);
    case 'titles': return envelope.evidenceReferences;
    case 'topics': return envelope.tags.flatMap((tag) => tag.references);
    default: return envelope.evidenceReferences;
  }
}

test('each helper answers a transcript with a complete envelope citing its passages', async (t) => {
  const helpers = helpersOn(t);
  const envelopes = {
    chapters: await helpers.analysis.chapters(requests.chapters),
    chaptersWithContext: await helpers.analysis.chapters({
      ...base, schemaVersion: 2, context: { text: 'We went over the parking rules.', previousHeading: 'Parking rules' },
    }),
    titles: await helpers.analysis.titles(requests.titles),
    topics: await helpers.analysis.topics(requests.topics),
    categories: await helpers.analysis.categories(requests.categories),
  };
  for (const [name, envelope] of Object.entries(envelopes)) {
    assert.equal(envelope.status, 'complete', `${name}: ${JSON.stringify(envelope)}`);
    assert.equal(envelope.providerId, 'apple-foundation-models', name);
    assert.equal(envelope.processingLocation, 'on-device', name);
    const kind = name.startsWith('chapters') ? 'chapters' : name;
    const refs = cited(kind, envelope);
    assert.ok(refs.length > 0 && refs.every((r) => references.has(r)), `${name} cites ${refs}`);
  }
  assert.equal(envelopes.chapters.schemaVersion, 1);
  assert.equal(envelopes.chaptersWithContext.schemaVersion, 2);
  assert.equal(typeof envelopes.chaptersWithContext.continuesPrevious, 'boolean');
  assert.equal(typeof envelopes.titles.title, 'string');
  assert.equal(envelopes.topics.schemaVersion, 3);
  assert.ok(envelopes.topics.tags.length >= 1 && envelopes.topics.tags.length <= 3);
  assert.equal(typeof envelopes.categories.category, 'string');
});

test('each helper reports itself through --doctor', async (t) => {
  const helpers = helpersOn(t);
  const expected = {
    chapters: ['meeting-chapters-continuity-v2', 640],
    titles: ['meeting-titles-v1', 256],
    topics: ['meeting-topics-passages-v3.1', 512],
    categories: ['meeting-categories-v1', 256],
  };
  for (const [kind, [promptVersion, tokens]] of Object.entries(expected)) {
    const report = await helpers.analysis.doctor(kind);
    assert.equal(report.status, 'available', kind);
    assert.equal(report.promptVersion, promptVersion, kind);
    assert.equal(report.maximumResponseTokens, tokens, kind);
    assert.equal(report.maximumRequestBytes, 4000, kind);
  }
});

test('failures are envelopes with their code and message, not rejections', async (t) => {
  const invalid = { schemaVersion: 1, locale: 'en-GB', segments: passages };
  const cases = [
    ['chapters', invalid, 'failed', 'invalid_input', 'The chapter request is invalid. No text was analyzed.'],
    ['titles', { ...invalid, phase: 'extract' }, 'failed', 'invalid_input', 'The meeting title input was invalid. The saved title is unchanged.'],
    ['topics', invalid, 'failed', 'invalid_input', 'Apple could not analyze this transcript. Your transcript and previous topics are unchanged. Try again.'],
    ['categories', invalid, 'failed', 'invalid_request', 'Apple could not classify this transcript. No category was accepted. Retry with a supported, bounded English transcript.'],
  ];
  const helpers = helpersOn(t);
  for (const [kind, request, status, code, message] of cases) {
    const envelope = await helpers.analysis[kind](request);
    assert.deepEqual([envelope.status, envelope.code, envelope.message], [status, code, message], kind);
  }

  // With Apple Intelligence off, the question and the doctor both say so.
  const off = helpersOn(t, { model: { availability: 'appleIntelligenceNotEnabled' } });
  for (const kind of ['chapters', 'titles', 'topics', 'categories']) {
    for (const envelope of [await off.analysis[kind](requests[kind]), await off.analysis.doctor(kind)]) {
      assert.equal(envelope.status, 'unavailable', kind);
      assert.equal(envelope.code, 'apple_intelligence_not_enabled', kind);
    }
  }
});

test('a request of exactly 4000 bytes reaches the helper whole, with nothing added', async (t) => {
  const helpers = helpersOn(t);
  const sized = (bytes) => {
    const request = { schemaVersion: 1, locale: 'en-US', segments: [{ reference: 'p1', text: '' }] };
    request.segments[0].text = 'loading dock access '.repeat(400).slice(0, bytes - Buffer.byteLength(JSON.stringify(request)));
    assert.equal(Buffer.byteLength(JSON.stringify(request)), bytes);
    return request;
  };
  assert.equal((await helpers.analysis.topics(sized(4000))).status, 'complete');
  const over = await helpers.analysis.topics(sized(4001));
  assert.deepEqual([over.status, over.code], ['failed', 'invalid_input']);
});

test('a helper that breaks the one-line rule makes the call reject', async (t) => {
  const cases = [
    ['two lines', 'process.stdout.write(\'{"status":"complete"}\\n{"status":"complete"}\\n\')', 'quorvantel-meeting-topics wrote more than one line.'],
    ['no line', '', 'quorvantel-meeting-topics exited with status 0 without an answer.'],
    ['a line without a status', 'process.stdout.write(\'{"answer":42}\\n\')', 'quorvantel-meeting-topics answered with a line its command does not write.'],
    ['a killed helper', 'process.kill(process.pid, "SIGKILL")', 'quorvantel-meeting-topics was ended by signal SIGKILL without an answer.'],
  ];
  for (const [name, script, message] of cases) {
    const path = fakeHelper(t, `process.stdin.resume(); process.stdin.on('end', () => { ${script} });`);
    await assert.rejects(analyze('topics', base, { pathOf: () => path }), (error) => {
      assert.ok(error instanceof HelperError, name);
      assert.equal(error.message, message, name);
      return true;
    });
  }
});
