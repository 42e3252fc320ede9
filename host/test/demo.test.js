'use strict';
// The demo's road on this machine's own services, in its short form, so that it keeps
// working: private services started and stopped by the demo, a meeting application
// recorded alone while another plays a tone, both sides transcribed into real words.
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { spawnSync } = require('node:child_process');

const binDir = process.env.QUORVANTEL_HOST_BIN_DIR;
const libDir = process.env.QUORVANTEL_HOST_LIB_DIR;
const DEMO = path.join(__dirname, '..', 'demo.js');
const TIMEOUT_MS = 100_000;

test('the short road records the meeting application alone and transcribes both sides into words', () => {
  const env = { ...process.env };
  delete env.QUORVANTEL_SIMULATION;
  const run = spawnSync(process.execPath, [DEMO, '--short', '--private-services', binDir, libDir],
    { env, encoding: 'utf8', timeout: TIMEOUT_MS });
  const output = `${run.stdout}\n${run.stderr}`;
  assert.equal(run.status, 0, output);
  assert.match(run.stdout, /quorvantel-capture list: .*Meeting Room \(org\.example\.MeetingRoom\)/);
  assert.match(run.stdout, /\(the music is not in the recording\)/);
  // Real words from each side, and a score against what was said.
  assert.match(run.stdout, /system-audio-0 .*"[a-z' ]*\b(was|young|man)\b[a-z' ]*"/);
  assert.match(run.stdout, /microphone-0 .*"[a-z' ]*\b(spades|clubs|hearts|seven|eight)\b[a-z' ]*"/);
  assert.match(run.stdout, /both +\d+\.\d %/);
  assert.match(run.stdout, /calendars: .*Work/);
  assert.match(run.stdout, /zoom:81234567890/);
});
