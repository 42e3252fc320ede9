'use strict';
// The bridge from capture lines to system-audio packets, between two stand-in helpers
// that play exactly the lines given: every audio line becomes a packet at its frame ÷
// 48 with its own samples, and a silence line, however long, becomes nothing.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { bridgeCaptureToSpeech } = require('..');
const { CaptureRecording } = require('../lib/capture');
const { SpeechRun } = require('../lib/speech');
const { fakeHelper, temporaryFolder } = require('./support');

// A speech helper that records every input line to a file and stops on "stop".
const RECORDING_SPEECH = `
  const fs = require('node:fs');
  process.stdout.write('{"type":"ready"}\\n');
  let pending = '';
  process.stdin.on('data', (chunk) => {
    pending += chunk;
    for (let end; (end = pending.indexOf('\\n')) >= 0;) {
      const line = pending.slice(0, end);
      pending = pending.slice(end + 1);
      fs.appendFileSync(process.env.INPUT_RECORD, line + '\\n');
      if (JSON.parse(line).type === 'stop') {
        process.stdout.write('{"type":"stopped"}\\n');
        process.exit(0);
      }
    }
  });`;

test('audio lines become packets at frame ÷ 48; silence lines are not sent', async (t) => {
  const hour = 48000 * 3600;
  const first = Buffer.from([1, 0, 2, 0, 3, 0, 4, 0]);
  const second = Buffer.from([5, 0, 6, 0]);
  const lines = [
    { type: 'started', sampleRate: 48000, channels: 2, captureStartedAtMs: 1788586400000 },
    { type: 'audio', data: first.toString('base64'), peak: 0.0001, startFrame: 0 },
    { type: 'silence', startFrame: 2, frames: hour },
    { type: 'audio', data: second.toString('base64'), peak: 0.0002, startFrame: 2 + hour },
    { type: 'stopped', totalFrames: 3 + hour, discardedPreStartFrames: 0 },
  ];
  const capture = new CaptureRecording({
    path: fakeHelper(t, `process.stdout.write(${JSON.stringify(lines.map((l) => JSON.stringify(l) + '\n').join(''))});`),
    allSystem: true,
  });
  const record = path.join(temporaryFolder(t), 'speech-input.jsonl');
  const speech = new SpeechRun({ path: fakeHelper(t, RECORDING_SPEECH), env: { ...process.env, INPUT_RECORD: record } });
  await speech.ready;

  const summary = await bridgeCaptureToSpeech(capture, speech);
  await speech.stop();
  assert.deepEqual(summary, { totalFrames: 3 + hour, audioFrames: 3, silenceFrames: hour, audioLines: 2, silenceLines: 1, discardedPreStartFrames: 0 });
  const sent = fs.readFileSync(record, 'utf8').trim().split('\n').map((line) => JSON.parse(line));
  assert.deepEqual(sent, [
    { type: 'audio', source: 'system-audio', sampleRate: 48000, channels: 2, startMs: 0, data: first.toString('base64') },
    { type: 'audio', source: 'system-audio', sampleRate: 48000, channels: 2, startMs: (2 + hour) / 48, data: second.toString('base64') },
    { type: 'stop' },
  ]);
});
