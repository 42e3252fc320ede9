'use strict';
// The speech client against the built quorvantel-speech on the stand-in recogniser,
// which hears energy: each burst of a recording becomes one utterance whose final
// segment spans the burst on the recording timeline.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { HelperError } = require('..');
const { helpersOn, burstPcm, finalSpans, assertSpansMatch, delay, fakeHelper } = require('./support');
const { SpeechRun } = require('../lib/speech');
const { MAXIMUM_WAITING_WRITES } = require('../lib/helper_process');

// The stand-in recogniser works in 20 ms windows.
const TOLERANCE_MS = 40;

// Collects every segment of a run as it arrives.
function collect(speech) {
  const segments = [];
  speech.on('segment', (segment) => segments.push(segment));
  return segments;
}

test('both sources transcribe on one recording timeline, system audio on the 48 kHz frame clock', async (t) => {
  const speech = helpersOn(t).startSpeech({ locale: 'en-US' });
  const segments = collect(speech);
  await speech.ready;

  // System audio in capture-sized pieces with a hole of 0.5 s (not sent) inside the
  // second burst, and microphone audio at 16 kHz mono in 100 ms packets, written side
  // by side as two producers of one app would.
  const system = burstPcm({ seconds: 3, bursts: [[0.4, 1.2], [1.8, 2.6]] });
  const microphone = burstPcm({ seconds: 2, bursts: [[0.5, 1.3]], rate: 16000, channels: 1 });
  const frameBytes = 4;
  const piece = 4800;
  await Promise.all([
    (async () => {
      for (let frame = 0; frame < 144000; frame += piece) {
        if (frame >= 96000 && frame < 120000) continue; // 2.0-2.5 s
        await speech.sendSystemAudio(system.subarray(frame * frameBytes, (frame + piece) * frameBytes), frame);
      }
    })(),
    (async () => {
      for (let ms = 0; ms < 2000; ms += 100) {
        await speech.sendMicrophone(microphone.subarray(ms * 32, (ms + 100) * 32), { startMs: ms, sampleRate: 16000, channels: 1 });
      }
    })(),
  ]);
  assert.deepEqual(await speech.stop(), { exitCode: 0 });

  assertSpansMatch(assert, finalSpans(segments, 'system-audio'), [[400, 1200], [1800, 2000], [2500, 2600]], TOLERANCE_MS);
  assertSpansMatch(assert, finalSpans(segments, 'microphone'), [[500, 1300]], TOLERANCE_MS);
  // Revisions of one utterance share its id; the final one closes it.
  const systemIds = segments.filter((s) => s.source === 'system-audio').map((s) => s.id);
  assert.deepEqual([...new Set(systemIds)], ['system-audio-0', 'system-audio-1', 'system-audio-2']);
  assert.ok(segments.some((s) => !s.isFinal), 'partial results arrive before the final ones');
});

test('a helper that stops reading holds the writes instead of growing a queue', async (t) => {
  // The recogniser takes one input and then none: the helper's channel fills, it
  // stops reading its input, and the pipe fills.
  const speech = helpersOn(t, { speech: { recognizer: { stallAfterInputs: 1 } } }).startSpeech();
  await speech.ready;
  const second = burstPcm({ seconds: 1, bursts: [[0, 1]] });
  let frame = 0;
  let pending = null;
  for (;;) {
    const write = speech.sendSystemAudio(second, frame);
    frame += 48000;
    const outcome = await Promise.race([write.then(() => 'taken'), delay(1000).then(() => 'held')]);
    if (outcome === 'held') {
      pending = write;
      break;
    }
  }
  // What waits in the app's stream is the one packet being written, never more;
  // a few further writes wait their turn, and the next is refused.
  assert.ok(speech.pendingInputBytes <= 262144 + 200, `${speech.pendingInputBytes} bytes wait`);
  const waiting = [];
  for (let i = 0; i < MAXIMUM_WAITING_WRITES; i++) {
    waiting.push(speech.sendSystemAudio(second, frame));
    frame += 48000;
  }
  await assert.rejects(speech.sendSystemAudio(second, frame), {
    message: `quorvantel-speech: ${MAXIMUM_WAITING_WRITES} writes are already waiting; await each write before the next.`,
  });
  assert.ok(speech.pendingInputBytes <= 262144 + 200, `${speech.pendingInputBytes} bytes wait`);

  speech.kill('SIGTERM');
  // The helper ends on the signal (status 130), which every held write reports.
  for (const write of [pending, ...waiting]) {
    await assert.rejects(write, (error) => error instanceof HelperError && error.exitCode === 130);
  }
  await assert.rejects(speech.finished, { kind: 'exit', exitCode: 130 });
});

test('the helper\'s error line becomes a rejection with its exact message', async (t) => {
  const cases = [
    {
      name: 'an older system refuses the run before it is ready',
      scenario: { os: { version: '15.5.0' } },
      message: 'Local Apple transcription requires macOS 26 or later and Apple silicon.',
      run: async (speech) => speech.ready,
    },
    {
      name: 'system audio that goes back in time',
      message: 'Overlapping or out-of-order speech audio was rejected.',
      run: async (speech) => {
        await speech.ready;
        await speech.sendSystemAudio(Buffer.alloc(4800 * 4), 4800);
        await speech.sendSystemAudio(Buffer.alloc(4800 * 4), 0);
        return speech.stop();
      },
    },
    {
      name: 'a packet the client passes unchecked',
      message: 'Expected bounded 16 or 48 kHz mono/stereo PCM16LE with a valid recording timestamp.',
      run: async (speech) => {
        await speech.ready;
        await speech.sendLine({ type: 'audio', source: 'microphone', sampleRate: 44100, channels: 1, startMs: 0, data: 'AAAA' });
        return speech.stop();
      },
    },
    {
      name: 'the recogniser fails while transcribing',
      scenario: { speech: { recognizer: { failAfterInputs: 1, failureMessage: 'The recogniser gave up.' } } },
      message: 'The recogniser gave up.',
      run: async (speech) => {
        await speech.ready;
        await speech.sendSystemAudio(burstPcm({ seconds: 0.5, bursts: [[0, 0.5]] }), 0);
        await speech.sendSystemAudio(burstPcm({ seconds: 0.5, bursts: [[0, 0.5]] }), 24000);
        return speech.stop();
      },
    },
  ];
  for (const c of cases) {
    await t.test(c.name, async (t) => {
      const speech = helpersOn(t, c.scenario).startSpeech();
      // Whichever call meets the failure first rejects with it; so does `finished`.
      await assert.rejects(c.run(speech), (error) => {
        assert.ok(error instanceof HelperError, `${error}`);
        assert.equal(error.message, c.message);
        return true;
      });
      await assert.rejects(speech.finished, { message: c.message, kind: 'error-line', helper: 'quorvantel-speech', exitCode: 1 });
    });
  }
});

test('a consumer that stops reading loses and reorders nothing', async (t) => {
  // The same recording twice: once read as it comes, once with the client paused for
  // the whole run and then drained through a slow iterator. Both see the same lines.
  const recording = burstPcm({ seconds: 4, bursts: [[0.2, 0.9], [1.1, 1.6], [2.0, 2.3], [2.6, 3.5]] });
  async function transcribe(consume) {
    const speech = helpersOn(t).startSpeech();
    await speech.ready;
    const seen = consume(speech);
    for (let frame = 0; frame < 192000; frame += 4800) {
      await speech.sendSystemAudio(recording.subarray(frame * 4, (frame + 4800) * 4), frame);
    }
    const stopping = speech.stop();
    return { seen: await seen(), outcome: await stopping };
  }

  const direct = await transcribe((speech) => {
    const segments = collect(speech);
    return async () => {
      await speech.finished;
      return segments;
    };
  });
  const held = await transcribe((speech) => {
    speech.pause();
    return async () => {
      await delay(300);
      const events = [];
      const iterating = (async () => {
        for await (const event of speech) {
          events.push(event);
          await new Promise(setImmediate);
        }
      })();
      speech.resume();
      await iterating;
      return events.filter((e) => e.type === 'segment');
    };
  });
  assert.ok(direct.seen.length >= 8, `${direct.seen.length} segments`);
  assert.deepEqual(held.seen, direct.seen);
  assert.deepEqual(held.outcome, { exitCode: 0 });
});

test('a helper that breaks the line protocol fails the run with what it did', async (t) => {
  const cases = [
    ['a line that is not JSON', 'process.stdout.write(\'{"type":"ready"}\\nnot json\\n\')', 'quorvantel-speech wrote a line that is not JSON.'],
    ['a line after its error line', 'process.stdout.write(\'{"message":"m","type":"error"}\\n{"type":"stopped"}\\n\')', 'quorvantel-speech wrote a line after its error line.'],
    ['output ending inside a line', 'process.stdout.write(\'{"type":"ready"}\\n{"type":"sto\')', 'quorvantel-speech ended its output in the middle of a line.'],
    ['exit 0 without "stopped"', 'process.stdout.write(\'{"type":"ready"}\\n\')', 'quorvantel-speech exited without its "stopped" line.'],
    ['exit 3 without an error line', 'process.stderr.write("out of luck\\n"); process.exitCode = 3', 'quorvantel-speech exited with status 3 without an error line: out of luck'],
  ];
  for (const [name, script, message] of cases) {
    await t.test(name, async (t) => {
      const speech = new SpeechRun({ path: fakeHelper(t, script) });
      await assert.rejects(speech.finished, { message });
    });
  }
});

test('lines split across chunks and many lines in one chunk arrive whole and in order', async (t) => {
  // A helper that writes its lines in odd pieces: byte by byte, then several at once.
  const lines = [{ type: 'ready' }];
  for (let i = 0; i < 40; i++) {
    lines.push({ endMs: 20 * i + 10, id: `microphone-${i}`, isFinal: true, source: 'microphone', startMs: 20 * i, text: `wörd ${i} 世界`, timingSource: 'result-range', type: 'segment' });
  }
  lines.push({ type: 'stopped' });
  const text = lines.map((l) => JSON.stringify(l) + '\n').join('');
  const script = `
    const bytes = Buffer.from(${JSON.stringify(text)});
    let at = 0;
    const step = () => {
      if (at >= bytes.length) return;
      const size = at < 300 ? 1 : 997;
      process.stdout.write(bytes.subarray(at, at + size), () => setImmediate(step));
      at += size;
    };
    step();`;
  const speech = new SpeechRun({ path: fakeHelper(t, script) });
  const events = [];
  for await (const event of speech) events.push(event);
  assert.deepEqual(events, lines);
});

test('events wait for the first consumer, however late it comes', async (t) => {
  const lines = [
    { type: 'ready' },
    { endMs: 900, id: 'system-audio-0', isFinal: false, source: 'system-audio', startMs: 400, text: 'speech', timingSource: 'speech-audio-range', type: 'segment' },
    { endMs: 1200, id: 'system-audio-0', isFinal: true, source: 'system-audio', startMs: 400, text: 'speech speech', timingSource: 'speech-audio-range', type: 'segment' },
    { type: 'stopped' },
  ];
  const text = lines.map((l) => JSON.stringify(l) + '\n').join('');
  const speech = new SpeechRun({ path: fakeHelper(t, `process.stdout.write(${JSON.stringify(text)});`) });
  // The helper has answered and ended before anything listened.
  assert.deepEqual(await speech.ready, { type: 'ready' });
  assert.deepEqual(await speech.finished, { exitCode: 0 });
  const events = [];
  for await (const event of speech) events.push(event);
  assert.deepEqual(events, lines);
});
