'use strict';
// The fixture of the client's tests: the built helpers of this build (named by the
// test command), a stand-in machine described by a scenario file per test, recordings
// with speech-like bursts, and fake helpers for what a real one never does.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createHelpers } = require('..');
const { writeWav } = require('../wav_file');

const binDir = process.env.QUORVANTEL_HOST_BIN_DIR;
const libDir = process.env.QUORVANTEL_HOST_LIB_DIR;
if (!binDir || !libDir) {
  throw new Error('QUORVANTEL_HOST_BIN_DIR and QUORVANTEL_HOST_LIB_DIR must name the build\'s bin and lib folders');
}

const SAMPLE_RATE = 48000;

// A folder of this test's own, removed when the test ends.
function temporaryFolder(t) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvantel-host-'));
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// The helpers of this build on a stand-in machine described by `scenario` (the
// defaults when none is given: without a scenario the helpers would use this
// machine's own services).
function helpersOn(t, scenario = {}) {
  const env = { ...process.env };
  const file = path.join(temporaryFolder(t), 'scenario.json');
  fs.writeFileSync(file, JSON.stringify(scenario));
  env.QUORVANTEL_SIMULATION = file;
  return createHelpers({ binDir, libDir, env });
}

// Interleaved 16-bit PCM of `seconds` at `rate` with a tone during each burst
// [startSeconds, endSeconds) and digital silence elsewhere; the tone is loud enough
// for the stand-in recogniser to hear speech.
function burstPcm({ seconds, bursts, rate = SAMPLE_RATE, channels = 2 }) {
  const frames = Math.round(seconds * rate);
  const pcm = Buffer.alloc(frames * channels * 2);
  for (let i = 0; i < frames; i++) {
    const t = i / rate;
    const loud = bursts.some(([a, b]) => t >= a && t < b);
    const v = loud ? Math.round(9000 * Math.sin(2 * Math.PI * 220 * t)) : 0;
    for (let c = 0; c < channels; c++) pcm.writeInt16LE(v, (i * channels + c) * 2);
  }
  return pcm;
}


// An executable that plays a helper which breaks its protocol: it runs `script` in
// Node, ignoring the arguments the client passes.
function fakeHelper(t, script) {
  const file = path.join(temporaryFolder(t), 'fake-helper');
  fs.writeFileSync(file, `#!${process.execPath}\n'use strict';\n${script}\n`, { mode: 0o755 });
  return file;
}

// The final segments of a run, in order, as [startMs, endMs] pairs.
function finalSpans(segments, source) {
  return segments.filter((s) => s.isFinal && s.source === source).map((s) => [s.startMs, s.endMs]);
}

// Asserts each span lies within `toleranceMs` of the burst it stands for.
function assertSpansMatch(assert, spans, bursts, toleranceMs) {
  assert.equal(spans.length, bursts.length, `segments ${JSON.stringify(spans)} for bursts ${JSON.stringify(bursts)}`);
  spans.forEach(([start, end], i) => {
    const [a, b] = bursts[i];
    assert.ok(Math.abs(start - a) <= toleranceMs && Math.abs(end - b) <= toleranceMs,
      `segment ${i} runs ${start}-${end} ms for a burst at ${a}-${b} ms`);
  });
}

function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

module.exports = {
  binDir,
  libDir,
  SAMPLE_RATE,
  temporaryFolder,
  helpersOn,
  burstPcm,
  writeWav,
  fakeHelper,
  finalSpans,
  assertSpansMatch,
  delay,
};
