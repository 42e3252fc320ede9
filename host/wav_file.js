'use strict';

// 16-bit PCM WAV files: the form the capture stand-in plays as its source, and the
// recordings the demo plays on a real desktop. Used by the demo and the tests; not
// part of the client the app loads.

const fs = require('node:fs');

function writeWav(file, pcm, rate, channels) {
  const header = Buffer.alloc(44);
  header.write('RIFF', 0);
  header.writeUInt32LE(36 + pcm.length, 4);
  header.write('WAVEfmt ', 8);
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(channels, 22);
  header.writeUInt32LE(rate, 24);
  header.writeUInt32LE(rate * channels * 2, 28);
  header.writeUInt16LE(channels * 2, 32);
  header.writeUInt16LE(16, 34);
  header.write('data', 36);
  header.writeUInt32LE(pcm.length, 40);
  fs.writeFileSync(file, Buffer.concat([header, pcm]));
}

// The 16-bit PCM of a WAV file with its rate and channel count; anything else is
// refused rather than misread.
function readWav(file) {
  const bytes = fs.readFileSync(file);
  if (bytes.length < 12 || bytes.toString('latin1', 0, 4) !== 'RIFF' || bytes.toString('latin1', 8, 12) !== 'WAVE') {
    throw new Error(`${file} is not a WAV file.`);
  }
  let format = null;
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    const body = at + 8;
    if (body + size > bytes.length) break;
    if (id === 'fmt ' && size >= 16) {
      format = { encoding: bytes.readUInt16LE(body), channels: bytes.readUInt16LE(body + 2), rate: bytes.readUInt32LE(body + 4), bits: bytes.readUInt16LE(body + 14) };
    } else if (id === 'data') {
      if (!format || format.encoding !== 1 || format.bits !== 16) throw new Error(`${file} is not 16-bit PCM.`);
      return { pcm: bytes.subarray(body, body + size), rate: format.rate, channels: format.channels };
    }
    // Chunks are padded to an even length.
    at = body + size + (size % 2);
  }
  throw new Error(`${file} has no audio data.`);
}

module.exports = { writeWav, readWav };
