'use strict';
// PCM into speech packets: each packet within the speech helper's bounds, system audio
// on the 48 kHz frame grid, every frame sent once and in order.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { audioPackets, systemAudioPackets, maximumPacketFrames } = require('..');

const MAXIMUM_BASE64 = 262144;

// The PCM bytes of the packets, joined again.
function joined(packets) {
  return Buffer.concat(packets.map((p) => Buffer.from(p.data, 'base64')));
}

// A buffer whose every byte pair differs, so a lost or repeated piece shows.
function countingPcm(bytes) {
  const pcm = Buffer.alloc(bytes);
  for (let i = 0; i < bytes / 2; i++) pcm.writeUInt16LE(i & 0xffff, i * 2);
  return pcm;
}

test('the largest packet per format is one second of stereo or two of mono', () => {
  const cases = [
    [48000, 2, 48000],
    [48000, 1, 96000],
    [16000, 2, 16000],
    [16000, 1, 32000],
  ];
  for (const [rate, channels, frames] of cases) {
    assert.equal(maximumPacketFrames(rate, channels), frames, `${rate} Hz, ${channels} channel(s)`);
  }
});

test('system audio is cut at one second, each piece starting at its frame ÷ 48', () => {
  const frames = 48000 * 2 + 4800; // 2.1 s
  const pcm = countingPcm(frames * 4);
  const startFrame = 29_030_400_000 - frames - 7; // near the end of the timeline
  const packets = systemAudioPackets(pcm, startFrame);
  assert.deepEqual(packets.map((p) => Buffer.from(p.data, 'base64').length / 4), [48000, 48000, 4800]);
  packets.forEach((p, i) => {
    assert.equal(p.startMs, (startFrame + i * 48000) / 48);
    // The speech helper takes startMs × 48 back to the frame within 1 ns of recording time.
    assert.ok(Math.abs(p.startMs * 48 - (startFrame + i * 48000)) <= 0.000048);
    assert.ok(p.data.length <= MAXIMUM_BASE64);
    assert.deepEqual({ ...p, data: undefined, startMs: undefined },
      { type: 'audio', source: 'system-audio', sampleRate: 48000, channels: 2, data: undefined, startMs: undefined });
  });
  assert.deepEqual(joined(packets), pcm);
});

test('microphone audio is cut by its own bounds with start times from its own rate', () => {
  const pcm = countingPcm(16000 * 2 * 5); // 5 s of 16 kHz mono
  const packets = audioPackets({ source: 'microphone', sampleRate: 16000, channels: 1, startMs: 12.5, pcm });
  assert.deepEqual(packets.map((p) => p.startMs), [12.5, 2012.5, 4012.5]);
  assert.deepEqual(packets.map((p) => Buffer.from(p.data, 'base64').length), [64000, 64000, 32000]);
  assert.deepEqual(joined(packets), pcm);
});

test('audio the speech helper would refuse is refused before anything is written', () => {
  const frame = Buffer.alloc(4);
  const cases = [
    ['half a stereo frame', () => systemAudioPackets(Buffer.alloc(2), 0), RangeError],
    ['no frames', () => systemAudioPackets(Buffer.alloc(0), 0), RangeError],
    ['a fractional frame position', () => systemAudioPackets(frame, 1.5), RangeError],
    ['a negative frame position', () => systemAudioPackets(frame, -1), RangeError],
    ['past seven days', () => systemAudioPackets(frame, 29_030_400_000), RangeError],
    ['not bytes', () => systemAudioPackets('AAAA', 0), TypeError],
    ['a sample rate of 44.1 kHz', () => audioPackets({ source: 'microphone', sampleRate: 44100, channels: 1, startMs: 0, pcm: frame }), RangeError],
    ['three channels', () => audioPackets({ source: 'microphone', sampleRate: 48000, channels: 3, startMs: 0, pcm: frame }), RangeError],
    ['an unknown source', () => audioPackets({ source: 'speaker', sampleRate: 48000, channels: 1, startMs: 0, pcm: frame }), RangeError],
    ['a negative start', () => audioPackets({ source: 'microphone', sampleRate: 48000, channels: 1, startMs: -0.001, pcm: frame }), RangeError],
    ['a start past seven days', () => audioPackets({ source: 'microphone', sampleRate: 48000, channels: 1, startMs: 604_800_000.001, pcm: frame }), RangeError],
  ];
  for (const [name, call, kind] of cases) assert.throws(call, kind, name);
});
