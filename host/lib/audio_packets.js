'use strict';
// Raw PCM into the speech helper's audio packet lines. The helper refuses a packet
// above its bounds, so longer audio is cut into packets that each fit: at most one
// second of stereo or two seconds of mono (4 × sample rate bytes), and at most
// 262,144 bytes of base64. System audio lives on the capture helper's 48 kHz frame
// clock: a packet that starts at frame f starts at f ÷ 48 milliseconds, which the
// speech helper turns back into exactly frame f.

const SAMPLE_RATES = Object.freeze([16000, 48000]);
const BYTES_PER_SAMPLE = 2;
const MAXIMUM_PACKET_BASE64_BYTES = 262144;
// The recording timeline ends at seven days.
const MAXIMUM_START_MS = 604_800_000;
const SYSTEM_AUDIO_SAMPLE_RATE = 48000;
const SYSTEM_AUDIO_CHANNELS = 2;
const SYSTEM_AUDIO_FRAMES_PER_MS = 48;
const TIMELINE_END_FRAME = 29_030_400_000;

/** The most frames one packet may carry at this rate and channel count. */
function maximumPacketFrames(sampleRate, channels) {
  const frameBytes = channels * BYTES_PER_SAMPLE;
  const byPcmBound = Math.floor((4 * sampleRate) / frameBytes);
  // Every 3 bytes become 4 characters of base64.
  const byBase64Bound = Math.floor(((MAXIMUM_PACKET_BASE64_BYTES / 4) * 3) / frameBytes);
  return Math.min(byPcmBound, byBase64Bound);
}

function checkPcm(pcm, channels) {
  if (!Buffer.isBuffer(pcm) && !(pcm instanceof Uint8Array)) throw new TypeError('PCM must be a Buffer or Uint8Array of 16-bit little-endian samples.');
  if (pcm.length === 0) throw new RangeError('PCM must hold at least one frame.');
  if (pcm.length % (channels * BYTES_PER_SAMPLE) !== 0) {
    throw new RangeError(`PCM must hold whole frames of ${channels} 16-bit samples (${pcm.length} bytes given).`);
  }
}

/**
 * The packet lines (objects) for PCM of one source starting at `startMs`.
 * @param {{ source: 'microphone' | 'system-audio', sampleRate: 16000 | 48000,
 *           channels: 1 | 2, startMs: number, pcm: Uint8Array }} audio
 * @returns {object[]}
 */
function audioPackets({ source, sampleRate, channels, startMs, pcm }) {
  if (source !== 'microphone' && source !== 'system-audio') throw new RangeError('source must be "microphone" or "system-audio".');
  if (!SAMPLE_RATES.includes(sampleRate)) throw new RangeError('sampleRate must be 16000 or 48000.');
  if (channels !== 1 && channels !== 2) throw new RangeError('channels must be 1 or 2.');
  if (typeof startMs !== 'number' || !Number.isFinite(startMs) || startMs < 0 || startMs > MAXIMUM_START_MS) {
    throw new RangeError(`startMs must be a number from 0 to ${MAXIMUM_START_MS}.`);
  }
  checkPcm(pcm, channels);
  const frameBytes = channels * BYTES_PER_SAMPLE;
  const frames = pcm.length / frameBytes;
  const step = maximumPacketFrames(sampleRate, channels);
  const packets = [];
  for (let first = 0; first < frames; first += step) {
    const count = Math.min(step, frames - first);
    packets.push({
      type: 'audio',
      source,
      sampleRate,
      channels,
      startMs: startMs + (first * 1000) / sampleRate,
      data: Buffer.from(pcm.buffer, pcm.byteOffset + first * frameBytes, count * frameBytes).toString('base64'),
    });
  }
  return packets;
}

/**
 * The system-audio packet lines for 48 kHz stereo PCM whose first frame is `startFrame`
 * on the capture helper's frame clock.
 * @param {Uint8Array} pcm
 * @param {number} startFrame
 * @returns {object[]}
 */
function systemAudioPackets(pcm, startFrame) {
  if (!Number.isSafeInteger(startFrame) || startFrame < 0) throw new RangeError('startFrame must be a whole number of frames, 0 or more.');
  checkPcm(pcm, SYSTEM_AUDIO_CHANNELS);
  const frameBytes = SYSTEM_AUDIO_CHANNELS * BYTES_PER_SAMPLE;
  const frames = pcm.length / frameBytes;
  if (startFrame + frames > TIMELINE_END_FRAME) throw new RangeError(`System audio must end by frame ${TIMELINE_END_FRAME} (seven days).`);
  const step = maximumPacketFrames(SYSTEM_AUDIO_SAMPLE_RATE, SYSTEM_AUDIO_CHANNELS);
  const packets = [];
  for (let first = 0; first < frames; first += step) {
    const count = Math.min(step, frames - first);
    packets.push({
      type: 'audio',
      source: 'system-audio',
      sampleRate: SYSTEM_AUDIO_SAMPLE_RATE,
      channels: SYSTEM_AUDIO_CHANNELS,
      // Computed from the frame, never by adding durations, so it stays on the grid.
      startMs: (startFrame + first) / SYSTEM_AUDIO_FRAMES_PER_MS,
      data: Buffer.from(pcm.buffer, pcm.byteOffset + first * frameBytes, count * frameBytes).toString('base64'),
    });
  }
  return packets;
}

module.exports = {
  audioPackets,
  systemAudioPackets,
  maximumPacketFrames,
  MAXIMUM_PACKET_BASE64_BYTES,
  SYSTEM_AUDIO_FRAMES_PER_MS,
  TIMELINE_END_FRAME,
};
