'use strict';
// The road of one recording on the stand-in platform, through the client: the week's
// meetings from the calendar, a recording of the computer's audio streamed into the
// transcription, the transcript put to the four analysis helpers, and glass on a
// window. Usage: node host/demo.js <bin folder> <lib folder>
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createHelpers, bridgeCaptureToSpeech } = require('.');
const { writeWav } = require('./wav_file');

const SAMPLE_RATE = 48000;
// The recording the stand-in device plays: bursts of a voice-like tone, seconds.
const RECORDING_SECONDS = 5;
const BURSTS = [[0.4, 1.5], [2.0, 2.6], [3.4, 4.6]];
// Recorded past the end of the file, so the last utterance closes on its own.
const TAIL_SECONDS = 0.5;
const DAY_MS = 86_400_000;

function usage() {
  console.error('Usage: node host/demo.js <bin folder> <lib folder>');
  process.exit(2);
}

function heading(text) {
  console.log(`\n== ${text}`);
}

function count(n, noun) {
  return `${n} ${noun}${n === 1 ? '' : 's'}`;
}

function seconds(ms) {
  return `${(ms / 1000).toFixed(2)} s`;
}

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

// Local midnight of this week's Monday.
function startOfWeek(now) {
  const day = new Date(now);
  day.setHours(0, 0, 0, 0);
  day.setDate(day.getDate() - ((day.getDay() + 6) % 7));
  return day.getTime();
}

function when(ms) {
  return new Date(ms).toLocaleString('en-GB', { weekday: 'short', day: '2-digit', month: 'short', hour: '2-digit', minute: '2-digit' });
}

async function calendarStep(helpers) {
  heading('quorvantel-calendar: this week\'s meetings');
  const access = await helpers.calendar.getAccess();
  console.log(`access: ${access.status === 'ok' ? access.access : access.reason}`);
  const listed = await helpers.calendar.listCalendars();
  if (listed.status !== 'ok') throw new Error(`list-calendars: ${listed.reason}`);
  console.log(`calendars: ${listed.calendars.map((c) => c.title).join(', ')}`);
  const startMs = startOfWeek(Date.now());
  const week = await helpers.calendar.listOccurrences({ calendarIds: listed.calendars.map((c) => c.id), startMs, endMs: startMs + 7 * DAY_MS });
  if (week.status !== 'ok') throw new Error(`list-occurrences: ${week.reason}`);
  for (const o of week.occurrences) {
    const link = o.joinUrl ? `${o.meetingKey}  ${o.joinUrl}` : 'no meeting link';
    console.log(`  ${when(o.startMs)}  ${o.title.padEnd(20)} ${o.responseStatus.padEnd(9)} ${link}`);
  }
  console.log(count(week.occurrences.length, 'occurrence'));
}

async function recordingStep(helpers) {
  heading(`quorvantel-capture record --all-system | quorvantel-speech run: ${RECORDING_SECONDS} s of computer audio`);
  console.log(`bursts in the recording: ${BURSTS.map(([a, b]) => `${a}-${b} s`).join(', ')}`);
  const speech = helpers.startSpeech({ locale: 'en-US' });
  const finals = [];
  let partials = 0;
  speech.on('segment', (segment) => {
    if (segment.isFinal) finals.push(segment);
    else partials += 1;
  });
  await speech.ready;
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
  console.log(`speech: stopped; ${count(partials, 'partial segment')} and ${count(finals.length, 'final segment')}`);
  for (const s of finals) {
    console.log(`  ${s.id.padEnd(16)} ${seconds(s.startMs)} - ${seconds(s.endMs)}  (${s.timingSource})  "${s.text}"`);
  }
  return finals;
}

async function analysisStep(helpers, finals) {
  heading('the four analysis helpers on the transcript');
  // Each final segment is one passage; the helpers answer with its reference, which
  // maps back onto the segment's time.
  const passages = finals.map((s, i) => ({ reference: `s${i + 1}`, text: s.text }));
  const at = new Map(finals.map((s, i) => [`s${i + 1}`, seconds(s.startMs)]));
  const cite = (refs) => refs.map((r) => `${r} @ ${at.get(r) ?? '?'}`).join(', ');
  const request = { schemaVersion: 1, locale: 'en-US', segments: passages };

  const chapters = await helpers.analysis.chapters(request);
  console.log(chapters.status === 'complete'
    ? `chapters:   ${chapters.chapters.map((c) => `"${c.heading}" from ${cite([c.startReference])}`).join('; ') || 'none (no substance)'}`
    : `chapters:   ${chapters.status} ${chapters.code}: ${chapters.message}`);
  const title = await helpers.analysis.titles({ ...request, phase: 'extract' });
  console.log(title.status === 'complete'
    ? `title:      "${title.title}" (evidence ${cite(title.evidenceReferences)})`
    : `title:      ${title.status} ${title.code}: ${title.message}`);
  const topics = await helpers.analysis.topics(request);
  console.log(topics.status === 'complete'
    ? `topics:     ${topics.tags.map((t) => `"${t.label}" (${cite(t.references)})`).join('; ') || 'none (no substance)'}`
    : `topics:     ${topics.status} ${topics.code}: ${topics.message}`);
  const category = await helpers.analysis.categories(request);
  console.log(category.status === 'complete'
    ? `category:   ${category.category} (evidence ${cite(category.evidenceReferences) || 'none'})`
    : `category:   ${category.status} ${category.code}: ${category.message}`);
}

function glassStep(helpers) {
  heading('quorvantel-window-appearance: glass on a window');
  const addon = helpers.loadWindowAppearance();
  const handle = addon.simulation.createWindow({ width: 1280, height: 800 });
  const show = (call, d) => console.log(`${call.padEnd(8)} reason ${d.reason.padEnd(9)} attached ${String(d.attached).padEnd(5)} `
    + `content ${d.contentViewClass}  full-size content ${d.fullSizeContentView}  geometry kept ${d.geometryMatchesExpected}`);
  show('attach', addon.attach(handle, 'regular'));
  show('inspect', addon.inspect(handle));
  show('detach', addon.detach(handle));
  addon.simulation.closeWindow(handle);
}

async function main() {
  const [binDir, libDir] = process.argv.slice(2);
  if (!binDir || !libDir) usage();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvantel-demo-'));
  try {
    const recording = path.join(work, 'meeting.wav');
    writeWav(recording, recordingPcm(), SAMPLE_RATE, 2);
    // The stand-in machine: its device plays the recording once, then silence; its
    // recogniser hears energy and names every word it hears "roadmap".
    const scenario = path.join(work, 'scenario.json');
    fs.writeFileSync(scenario, JSON.stringify({ audio: { source: recording }, speech: { recognizer: { resultText: 'roadmap' } } }));
    const env = { ...process.env, QUORVANTEL_SIMULATION: scenario };
    const helpers = createHelpers({ binDir: path.resolve(binDir), libDir: path.resolve(libDir), env });

    await calendarStep(helpers);
    const finals = await recordingStep(helpers);
    await analysisStep(helpers, finals);
    glassStep(helpers);
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`demo failed: ${error.message}`);
  process.exitCode = 1;
});
