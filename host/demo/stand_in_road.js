'use strict';
// The road of one recording on the stand-in platform, for machines without the Linux
// services: the week's meetings from the stand-in calendar, a recording of the
// stand-in device's audio streamed into the transcription, the transcript put to the
// four analysis helpers, and glass on a window.
const fs = require('node:fs');
const path = require('node:path');
const { createHelpers, bridgeCaptureToSpeech } = require('..');
const { writeWav } = require('../wav_file');
const { heading, count, seconds, calendarStep, startTranscription, printSegments, analysisStep } = require('./report');

const SAMPLE_RATE = 48000;
// The recording the stand-in device plays: bursts of a voice-like tone, seconds.
const RECORDING_SECONDS = 5;
const BURSTS = [[0.4, 1.5], [2.0, 2.6], [3.4, 4.6]];
// Recorded past the end of the file, so the last utterance closes on its own.
const TAIL_SECONDS = 0.5;

// 48 kHz stereo 16-bit PCM: a 220 Hz tone with a little vibrato during each burst.
function recordingPcm() {
  const frames = RECORDING_SECONDS * SAMPLE_RATE;
  const pcm = Buffer.alloc(frames * 4);
  for (let i = 0; i < frames; i++) {
    const t = i / SAMPLE_RATE;
    const loud = BURSTS.some(([a, b]) => t >= a && t < b);
    const v = loud ? Math.round(9000 * Math.sin(2 * Math.PI * (220 + 8 * Math.sin(2 * Math.PI * 5 * t)) * t)) : 0;
    pcm.writeInt16LE(v, i * 4);
    pcm.writeInt16LE(v, i * 4 + 2);
  }
  return pcm;
}

async function recordingStep(helpers) {
  heading(`quorvantel-capture record --all-system | quorvantel-speech run: ${RECORDING_SECONDS} s of computer audio`);
  console.log(`bursts in the recording: ${BURSTS.map(([a, b]) => `${a}-${b} s`).join(', ')}`);
  const transcript = await startTranscription(helpers);
  const { speech, finals } = transcript;
  console.log('speech: ready');

  const capture = helpers.startCapture({ allSystem: true });
  // The recording stops once its own lines have passed the end of the file.
  const stopped = new Promise((resolve, reject) => {
    let asked = false;
    capture.on('audio', (event) => {
      if (asked || event.startFrame + event.frames < (RECORDING_SECONDS + TAIL_SECONDS) * SAMPLE_RATE) return;
      asked = true;
      capture.stop().then(resolve, reject);
    });
    capture.finished.catch(reject);
  });
  const bridging = bridgeCaptureToSpeech(capture, speech);
  // Awaited below; a failure met first (the recording never starting) must not leave
  // them unhandled.
  stopped.catch(() => {});
  bridging.catch(() => {});
  try {
    const started = await capture.started;
    console.log(`capture: started at ${new Date(started.captureStartedAtMs).toISOString()}, ${started.sampleRate} Hz, ${started.channels} channels`);
    const summary = await bridging;
    await stopped;
    console.log(`capture: stopped after ${summary.totalFrames} frames (${seconds(summary.totalFrames / 48)}): `
      + `${count(summary.audioLines, 'audio line')} sent as system audio, ${count(summary.silenceLines, 'silence line')} left to the speech helper`);
    await speech.stop();
  } catch (error) {
    // One helper failed: end the other too, then report the failure.
    capture.kill();
    speech.kill();
    throw error;
  }
  console.log(`speech: stopped; ${count(transcript.partials, 'partial segment')} and ${count(finals.length, 'final segment')}`);
  printSegments(finals);
  return finals;
}

function glassStep(helpers) {
  heading('quorvantel-window-appearance: glass on a window (stand-in AppKit)');
  const addon = helpers.loadWindowAppearance();
  const handle = addon.simulation.createWindow({ width: 1280, height: 800 });
  const show = (call, d) => console.log(`${call.padEnd(8)} reason ${d.reason.padEnd(9)} attached ${String(d.attached).padEnd(5)} `
    + `content ${d.contentViewClass}  full-size content ${d.fullSizeContentView}  geometry kept ${d.geometryMatchesExpected}`);
  show('attach', addon.attach(handle, 'regular'));
  show('inspect', addon.inspect(handle));
  show('detach', addon.detach(handle));
  addon.simulation.closeWindow(handle);
}

async function standInRoad({ binDir, libDir, work }) {
  const recording = path.join(work, 'meeting.wav');
  writeWav(recording, recordingPcm(), SAMPLE_RATE, 2);
  // The stand-in machine: its device plays the recording once, then silence; its
  // recogniser hears energy and names every word it hears "roadmap".
  const scenario = path.join(work, 'scenario.json');
  fs.writeFileSync(scenario, JSON.stringify({ audio: { source: recording }, speech: { recognizer: { resultText: 'roadmap' } } }));
  const env = { ...process.env, QUORVANTEL_SIMULATION: scenario };
  const helpers = createHelpers({ binDir, libDir, env });

  await calendarStep(helpers);
  const finals = await recordingStep(helpers);
  await analysisStep(helpers, finals);
  glassStep(helpers);
}

module.exports = { standInRoad, glassStep };
