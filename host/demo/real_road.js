'use strict';
// The road of one recording on this Linux desktop's own services: the week's meetings
// from evolution-data-server, a meeting application that plays the other side of a
// call (real recorded speech) while a music application plays a tone, the meeting
// application alone recorded through PipeWire and streamed into the transcription with
// the local side sent as microphone packets, the transcript scored against what was
// said, and put to the four analysis helpers.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createHelpers, bridgeCaptureToSpeech } = require('..');
const { readWav, writeWav } = require('../wav_file');
const { startPrivateDesktop, runningDesktop } = require('./private_desktop');
const { DesktopApplication } = require('./desktop_application');
const { sampleCalendars } = require('./sample_meetings');
const { wordErrorRate } = require('./word_error_rate');
const { heading, count, seconds, calendarStep, startTranscription, printSegments, analysisStep } = require('./report');
const { glassStep } = require('./stand_in_road');

// Real human speech with its reference transcripts, from Debian's pocketsphinx-testdata.
const TEST_DATA = '/usr/share/pocketsphinx/test/data';
const LIBRIVOX = 'librivox';
const CARDS = 'cards';

// Who says what, in order: "them" is the other side of the call, played by the meeting
// application; "me" is the local user, whom the app records with the microphone.
const CONVERSATION = [
  ['them', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0870'],
  ['me', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0880'],
  ['them', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0890'],
  ['me', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0930'],
  ['them', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0920'],
];
// A few seconds of the same road, for the test that keeps it working.
const SHORT_CONVERSATION = [
  ['them', LIBRIVOX, 'sense_and_sensibility_01_austen_64kb-0880'],
  ['me', CARDS, '005'],
];
const LEAD_MS = 500;
const TURN_GAP_MS = 400;
// Recorded past the last turn, so the last utterance closes on its own.
const TAIL_MS = 1_000;

const SAMPLE_RATE = 48000;
const FRAMES_PER_MS = 48;
const SPEECH_RATE = 16000;
const MICROPHONE_CHUNK_MS = 200;
const PLAYER_LATENCY_MS = 100;
const TONE_HZ = 440;
const TONE_SECONDS = 2;

// Not under the helpers' own identifier prefix, which the capture helper never offers.
const MEETING_APP = { id: 'org.example.MeetingRoom', name: 'Meeting Room' };
const MUSIC_APP = { id: 'org.example.Radio', name: 'Radio' };

// "<s> words </s> (id)" lines of the recordings' reference transcripts.
function referenceTexts(folder) {
  const file = fs.readdirSync(folder).find((f) => f === 'transcription' || f.endsWith('.transcription'));
  const texts = new Map();
  for (const line of fs.readFileSync(path.join(folder, file), 'utf8').split('\n')) {
    const match = /^(.*)\(([^()]+)\)\s*$/.exec(line);
    if (match) texts.set(match[2], match[1].replace(/<\/?s>/g, '').trim().replace(/\s+/g, ' '));
  }
  return texts;
}

// The turns on the meeting's own timeline (from the moment the meeting starts playing).
function planTurns(conversation) {
  const references = new Map();
  let atMs = LEAD_MS;
  return conversation.map(([speaker, set, id]) => {
    if (!references.has(set)) references.set(set, referenceTexts(path.join(TEST_DATA, set)));
    const audio = readWav(path.join(TEST_DATA, set, `${id}.wav`));
    if (audio.rate !== SPEECH_RATE || audio.channels !== 1) throw new Error(`${id}.wav is not 16 kHz mono.`);
    const durationMs = (audio.pcm.length / 2 / SPEECH_RATE) * 1000;
    const turn = { speaker, id, text: references.get(set).get(id), pcm: audio.pcm, atMs, durationMs };
    if (turn.text === undefined) throw new Error(`No reference transcript for ${id}.`);
    atMs += durationMs + TURN_GAP_MS;
    return turn;
  });
}

// One side of the call as 16 kHz mono PCM from the start of the meeting to `lengthMs`:
// that side's turns where they fall, silence while the other side speaks.
function sidePcm(turns, speaker, lengthMs) {
  const pcm = Buffer.alloc(Math.ceil((lengthMs * SPEECH_RATE) / 1000) * 2);
  for (const turn of turns.filter((t) => t.speaker === speaker)) {
    turn.pcm.copy(pcm, Math.round((turn.atMs * SPEECH_RATE) / 1000) * 2);
  }
  return pcm;
}

function writeTone(file) {
  const frames = TONE_SECONDS * SAMPLE_RATE;
  const pcm = Buffer.alloc(frames * 4);
  for (let i = 0; i < frames; i++) {
    const v = Math.round(8000 * Math.sin((2 * Math.PI * TONE_HZ * i) / SAMPLE_RATE));
    pcm.writeInt16LE(v, i * 4);
    pcm.writeInt16LE(v, i * 4 + 2);
  }
  writeWav(file, pcm, SAMPLE_RATE, 2);
}

// Where the first sample with sound in it lies in 16 kHz mono PCM, in milliseconds.
function firstSoundMs(pcm) {
  for (let i = 0; i < pcm.length / 2; i++) {
    if (pcm.readInt16LE(i * 2) !== 0) return (i * 1000) / SPEECH_RATE;
  }
  return 0;
}

// The first frame of an audio line with sound in it, or null.
function firstSoundFrame(event) {
  const pcm = Buffer.from(event.data, 'base64');
  for (let i = 0; i < event.frames * 2; i++) {
    if (pcm.readInt16LE(i * 2) !== 0) return event.startFrame + Math.floor(i / 2);
  }
  return null;
}

// The loudest sample of an audio line's frames before `endFrame`.
function peakBefore(event, endFrame) {
  const pcm = Buffer.from(event.data, 'base64');
  const frames = Math.max(0, Math.min(event.frames, endFrame - event.startFrame));
  let peak = 0;
  for (let i = 0; i < frames * 2; i++) peak = Math.max(peak, Math.abs(pcm.readInt16LE(i * 2)));
  return peak;
}

// Sends 16 kHz mono PCM that starts at `startMs` on the recording timeline in chunks, each
// once its time has come. All of it at once would hold the speech helper's input for
// seconds, and the capture helper, whose lines wait behind it, would find its output
// blocked and stop.
async function sendMicrophoneLive(speech, pcm, startMs) {
  const startedAt = Date.now();
  const chunkBytes = (MICROPHONE_CHUNK_MS * SPEECH_RATE * 2) / 1000;
  for (let at = 0, ms = 0; at < pcm.length; at += chunkBytes, ms += MICROPHONE_CHUNK_MS) {
    const due = startedAt + ms + MICROPHONE_CHUNK_MS - Date.now();
    if (due > 0) await new Promise((resolve) => setTimeout(resolve, due));
    await speech.sendMicrophone(pcm.subarray(at, at + chunkBytes), { startMs: startMs + ms, sampleRate: SPEECH_RATE, channels: 1 });
  }
}

async function desktopServices(work, { privateServices }) {
  const running = runningDesktop();
  if (!privateServices && running.sound && running.sessionBus) {
    console.log('services: this desktop\'s own PipeWire, session bus and evolution-data-server');
    return { env: { ...process.env }, desktop: null };
  }
  const desktop = await startPrivateDesktop(fs.mkdtempSync(path.join(work, 'desktop-')), sampleCalendars());
  console.log(`services: ${privateServices ? 'private ones, as asked' : 'no desktop session here'}: started a session bus, `
    + 'PipeWire with WirePlumber and a null sink as the default output, and evolution-data-server with two sample calendars');
  return { env: desktop.env, desktop };
}

async function meetingStep(helpers, env, work, turns) {
  const applications = path.join(env.XDG_DATA_HOME ?? path.join(os.homedir(), '.local', 'share'), 'applications');
  const meetingApp = new DesktopApplication({ ...MEETING_APP, applicationsFolder: applications });
  const musicApp = new DesktopApplication({ ...MUSIC_APP, applicationsFolder: applications });
  const otherSide = path.join(work, 'other-side.raw');
  const tone = path.join(work, 'tone.wav');
  const go = path.join(work, 'meeting-starts');
  const last = turns[turns.length - 1];
  const meetingMs = last.atMs + last.durationMs;
  const otherSidePcm = sidePcm(turns, 'them', meetingMs);
  fs.writeFileSync(otherSide, otherSidePcm);
  writeTone(tone);

  heading(`a meeting of ${seconds(meetingMs)}: ${MEETING_APP.name} plays the other side, ${MUSIC_APP.name} a ${TONE_HZ} Hz tone`);
  // The music plays throughout. The meeting application's player (a child process) is
  // connected from the start, as a call's audio stream is, so the recording has it from
  // its first frame; the other side speaks into it once the call starts, and the
  // application stays open.
  musicApp.launch(`while pw-play '${tone}'; do :; done`, env);
  meetingApp.launch(`{ while [ ! -e '${go}' ]; do sleep 0.02; done; cat '${otherSide}'; sleep 3600; } `
    + `| pacat --raw --format=s16le --rate=${SPEECH_RATE} --channels=1 --latency-msec=${PLAYER_LATENCY_MS}`, env);
  try {
    const listed = await helpers.capture.list();
    console.log(`quorvantel-capture list: ${listed.sources.map((s) => `${s.name} (${s.id})`).join(', ') || 'no applications'}`);
    if (!listed.sources.some((s) => s.id === MEETING_APP.id)) throw new Error(`${MEETING_APP.name} is not among the applications.`);

    heading(`quorvantel-capture record --bundle-id ${MEETING_APP.id} | quorvantel-speech run`);
    const transcript = await startTranscription(helpers);
    const { speech, finals } = transcript;
    const capture = helpers.startCapture({ bundleId: MEETING_APP.id });
    const bridging = bridgeCaptureToSpeech(capture, speech);
    let goFrame = Infinity;
    let peakBeforeMeeting = 0;
    let soundFrame = null;
    let endFrame = Infinity;
    const stopped = new Promise((resolve, reject) => {
      let asked = false;
      capture.on('audio', (event) => {
        peakBeforeMeeting = Math.max(peakBeforeMeeting, peakBefore(event, goFrame));
        soundFrame ??= firstSoundFrame(event);
        if (asked || event.startFrame + event.frames < endFrame) return;
        asked = true;
        capture.stop().then(resolve, reject);
      });
      capture.finished.catch(reject);
    });
    // Awaited below; a failure met first (the recording never starting) must not
    // leave them unhandled.
    stopped.catch(() => {});
    bridging.catch(() => {});
    try {
      const started = await capture.started;
      // The call starts now; its timeline is the recording's from here on.
      fs.writeFileSync(go, '');
      const goMs = Date.now() - started.captureStartedAtMs;
      goFrame = Math.round(goMs * FRAMES_PER_MS);
      endFrame = goFrame + Math.round((meetingMs + TAIL_MS) * FRAMES_PER_MS);
      console.log(`capture: started; the meeting starts ${seconds(goMs)} into the recording`);
      // The microphone hears the local user's turns and the silence between them, and
      // its audio arrives as time passes, as the app's own recording of it would.
      const microphone = sendMicrophoneLive(speech, sidePcm(turns, 'me', meetingMs + TAIL_MS), goMs);
      microphone.catch(() => {});
      const summary = await bridging;
      await stopped;
      await microphone;
      console.log(`capture: stopped after ${summary.totalFrames} frames (${seconds(summary.totalFrames / FRAMES_PER_MS)}): `
        + `${count(summary.audioLines, 'audio line')} sent as system audio, ${count(summary.silenceLines, 'silence line')}`);
      console.log(`${MUSIC_APP.name} played all along; the loudest sample recorded before the meeting spoke: ${peakBeforeMeeting}`
        + (peakBeforeMeeting === 0 ? ' (the music is not in the recording)' : ' (the music leaked into the recording)'));
      await speech.stop();
      console.log(`speech: stopped; ${count(transcript.partials, 'partial segment')} and ${count(finals.length, 'final segment')}`);
      // The player takes a moment to start: the other side's times count from where its
      // first turn was actually heard.
      const otherSideMs = soundFrame === null ? goMs : soundFrame / FRAMES_PER_MS - firstSoundMs(otherSidePcm);
      console.log(`${MEETING_APP.name} was first heard ${seconds(soundFrame === null ? NaN : soundFrame / FRAMES_PER_MS)} into the recording`);
      return {
        finals: finals.sort((a, b) => a.startMs - b.startMs),
        startMs: { them: otherSideMs, me: goMs },
        musicHeard: peakBeforeMeeting !== 0,
      };
    } catch (error) {
      capture.kill();
      speech.kill();
      throw error;
    }
  } finally {
    await Promise.all([meetingApp.quit(), musicApp.quit()]);
  }
}

function transcriptStep(finals, turns, startMs) {
  heading('the transcript (system audio: the other side; microphone: the local user)');
  printSegments(finals);
  heading('word error rate against what was said');
  const said = (speaker) => turns.filter((t) => t.speaker === speaker).map((t) => t.text).join(' ');
  const heard = (source) => finals.filter((s) => s.source === source).map((s) => s.text).join(' ');
  const rows = [['system audio', 'them', 'system-audio'], ['microphone', 'me', 'microphone']].map(([label, speaker, source]) => {
    const result = wordErrorRate(said(speaker), heard(source));
    console.log(`  ${label.padEnd(13)} ${(result.rate * 100).toFixed(1).padStart(5)} %  (${result.errors} errors in ${result.referenceWords} words)`);
    return result;
  });
  const errors = rows.reduce((n, r) => n + r.errors, 0);
  const words = rows.reduce((n, r) => n + r.referenceWords, 0);
  console.log(`  ${'both'.padEnd(13)} ${((errors / words) * 100).toFixed(1).padStart(5)} %  (${errors} errors in ${words} words)`);
  for (const turn of turns) {
    console.log(`  said by ${turn.speaker.padEnd(4)} at ${seconds(startMs[turn.speaker] + turn.atMs)}: "${turn.text}"`);
  }
}

async function realRoad({ binDir, libDir, work, short = false, privateServices = false }) {
  const turns = planTurns(short ? SHORT_CONVERSATION : CONVERSATION);
  const { env, desktop } = await desktopServices(work, { privateServices });
  try {
    // Without a scenario the helpers use the machine's own services.
    delete env.QUORVANTEL_SIMULATION;
    const helpers = createHelpers({ binDir, libDir, env });
    await calendarStep(helpers);
    const { finals, startMs, musicHeard } = await meetingStep(helpers, env, work, turns);
    transcriptStep(finals, turns, startMs);
    await analysisStep(helpers, finals);
    glassStep(helpers);
    if (musicHeard) throw new Error('The music application was heard in the meeting application\'s recording.');
    if (!finals.some((s) => s.source === 'system-audio') || !finals.some((s) => s.source === 'microphone')) {
      throw new Error('The transcript lacks one side of the meeting.');
    }
  } finally {
    await desktop?.stop();
  }
}

module.exports = { realRoad };
