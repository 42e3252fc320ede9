'use strict';
// The capture client against the built quorvantel-capture on the stand-in device,
// which plays a file once and then silence, in real time; and the whole road of a
// recording: capture lines bridged into quorvantel-speech, whose final segments land
// on the bursts of the recording.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { bridgeCaptureToSpeech, HelperError } = require('..');
const { helpersOn, burstPcm, writeWav, temporaryFolder, finalSpans, assertSpansMatch, delay, fakeHelper, SAMPLE_RATE } = require('./support');
const { CaptureRecording } = require('../lib/capture');

// The stand-in recogniser works in 20 ms windows, and the device's first buffer may
// start a fraction of a buffer (10 ms) from the origin.
const TOLERANCE_MS = 50;
// An utterance closes after 300 ms without voice; recording this much past the last
// burst lets every one close on its own.
const TAIL_SECONDS = 0.4;

// A scenario whose device plays a recording of the given bursts.
function playing(t, seconds, bursts) {
  const file = path.join(temporaryFolder(t), 'recording.wav');
  writeWav(file, burstPcm({ seconds, bursts }), SAMPLE_RATE, 2);
  return { audio: { source: file } };
}

// Stops the recording once it has passed `frame` (decided by the recording's own
// lines, not by a timer); resolves with the "stopped" event.
function stopAfterFrame(capture, frame) {
  return new Promise((resolve, reject) => {
    let asked = false;
    capture.on('audio', (event) => {
      if (asked || event.startFrame + event.frames < frame) return;
      asked = true;
      capture.stop().then(resolve, reject);
    });
    capture.finished.catch(reject);
  });
}

test('a recording bridged into transcription gives one final segment per burst, on the recording timeline', async (t) => {
  const seconds = 1.6;
  // Apart by more than the 300 ms that close an utterance.
  const bursts = [[0.2, 0.6], [1.0, 1.4]];
  const helpers = helpersOn(t, playing(t, seconds, bursts));
  const speech = helpers.startSpeech({ locale: 'en-US' });
  const segments = [];
  speech.on('segment', (segment) => segments.push(segment));
  await speech.ready;

  const capture = helpers.startCapture({ allSystem: true });
  const stopping = stopAfterFrame(capture, (seconds + TAIL_SECONDS) * SAMPLE_RATE);
  const bridging = bridgeCaptureToSpeech(capture, speech);
  const started = await capture.started;
  assert.deepEqual([started.sampleRate, started.channels], [48000, 2]);
  assert.ok(Math.abs(started.captureStartedAtMs - Date.now()) < 60_000, 'the origin is a wall-clock time');

  const summary = await bridging;
  const stopped = await stopping;
  assert.equal(summary.totalFrames, stopped.totalFrames);
  assert.equal(summary.audioFrames + summary.silenceFrames, stopped.totalFrames);
  assert.ok(stopped.totalFrames >= (seconds + TAIL_SECONDS) * SAMPLE_RATE);
  assert.deepEqual(await speech.stop(), { exitCode: 0 });

  const inMs = bursts.map(([a, b]) => [a * 1000, b * 1000]);
  assertSpansMatch(assert, finalSpans(segments, 'system-audio'), inMs, TOLERANCE_MS);
  assert.deepEqual(finalSpans(segments, 'microphone'), []);
});

test('a consumer that stops reading for a while loses no frame and reorders no line', async (t) => {
  const helpers = helpersOn(t, playing(t, 0.5, [[0.1, 0.4]]));
  const capture = helpers.startCapture({ allSystem: true });
  const stopping = stopAfterFrame(capture, SAMPLE_RATE * 1.2);
  const lines = [];
  capture.on('audio', (event) => lines.push([event.startFrame, event.frames]));
  capture.on('silence', (event) => lines.push([event.startFrame, event.frames]));
  await capture.started;

  // Held well past what the pipe holds, below the helper's one-second write deadline.
  capture.pause();
  await delay(500);
  capture.resume();

  const stopped = await stopping;
  // Every line starts where the one before ended and the total is their sum (the
  // client also checks this as the lines arrive, and would have failed the recording).
  let next = 0;
  for (const [startFrame, frames] of lines) {
    assert.equal(startFrame, next);
    next += frames;
  }
  assert.equal(stopped.totalFrames, next);
  assert.ok(next >= SAMPLE_RATE * 1.2);
});

test('the helper\'s error line becomes a rejection with its exact message', async (t) => {
  const cases = [
    {
      name: 'no such application',
      record: { bundleId: 'com.example.not-running' },
      message: 'The selected application is no longer running. Open it and select it again.',
      startedRejects: true,
    },
    {
      name: 'recording not permitted',
      scenario: { audio: { faults: { permissionDenied: true } } },
      record: { allSystem: true },
      message: 'Computer audio recording is not permitted (Core Audio 560492391). Operation: create the computer audio tap. '
        + 'Check Tovrel\'s system audio recording access in System Settings > Privacy & Security > Screen & System Audio Recording, then try again.',
      startedRejects: true,
    },
    {
      name: 'the device format changes while recording',
      scenario: { audio: { faults: { formatChangeAfterMs: 150 } } },
      record: { allSystem: true },
      message: 'The computer audio device or its format changed. Recording stopped to preserve audio; start a new recording.',
      startedRejects: false,
    },
  ];
  for (const c of cases) {
    await t.test(c.name, async (t) => {
      const capture = helpersOn(t, c.scenario).startCapture(c.record);
      if (c.startedRejects) {
        await assert.rejects(capture.started, { message: c.message });
      } else {
        await capture.started;
      }
      const events = [];
      await assert.rejects(
        (async () => {
          for await (const event of capture) events.push(event.type);
        })(),
        (error) => error instanceof HelperError && error.message === c.message && error.kind === 'error-line' && error.exitCode === 1,
      );
      await assert.rejects(capture.finished, { message: c.message });
    });
  }
});

test('the one-line commands answer through the client', async (t) => {
  const helpers = helpersOn(t, {
    applications: [
      { bundleId: 'com.example.meet', name: 'Meet', pid: process.pid, activationPolicy: 'regular', terminated: false },
      { bundleId: 'org.quorvantel.recorder', name: 'Our own', pid: process.pid, activationPolicy: 'regular', terminated: false },
    ],
  });
  assert.deepEqual(await helpers.capture.list(), { type: 'sources', sources: [{ id: 'com.example.meet', name: 'Meet' }] });
  const metadata = await helpers.capture.meetingMetadata('com.example.meet');
  assert.deepEqual([metadata.type, metadata.applicationId], ['meeting-metadata', 'com.example.meet']);
  const display = await helpers.capture.displayStatus();
  assert.deepEqual([display.type, display.status, display.state], ['display-status', 'ok', 'active-displays']);
  assert.deepEqual(await helpers.capture.selfTest(), { type: 'selftest', ok: true });
  await assert.rejects(helpers.capture.meetingMetadata('com.example meet'), { kind: 'error-line', message: 'Invalid application bundle identifier.' });
});

test('lines that break the frame arithmetic fail the recording', async (t) => {
  const started = '{"type":"started","sampleRate":48000,"channels":2,"captureStartedAtMs":1}';
  const audio = (frame) => `{"type":"audio","data":"AAAAAAAAAAA=","peak":0,"startFrame":${frame}}`;
  const cases = [
    ['a hole', [started, audio(0), audio(4)], 'quorvantel-capture wrote a line at frame 4 where frame 2 was due.'],
    ['an overlap', [started, audio(0), '{"type":"silence","startFrame":1,"frames":5}'], 'quorvantel-capture wrote a line at frame 1 where frame 2 was due.'],
    ['a wrong total', [started, audio(0), '{"type":"stopped","totalFrames":3,"discardedPreStartFrames":0}'], 'quorvantel-capture reported 3 frames where its lines held 2.'],
    ['half a frame', [started, '{"type":"audio","data":"AAA=","peak":0,"startFrame":0}'], 'quorvantel-capture wrote audio that is not whole stereo frames.'],
    ['audio before "started"', [audio(0)], 'quorvantel-capture wrote "audio" before "started".'],
  ];
  for (const [name, lines, message] of cases) {
    const script = `process.stdout.write(${JSON.stringify(lines.join('\n') + '\n')}); setTimeout(() => {}, 10000);`;
    const capture = new CaptureRecording({ path: fakeHelper(t, script), allSystem: true });
    await assert.rejects(capture.finished, { kind: 'protocol', message }, name);
  }
});
