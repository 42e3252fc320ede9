'use strict';
// The app's client of the Tovrel native helpers: each helper started as a child
// process and spoken to in its own line protocol, and the addon loaded into this
// process. `createHelpers` binds the clients to one folder of built helpers.

const path = require('node:path');
const { HelperError } = require('./lib/errors');
const { SpeechRun, speechCommand } = require('./lib/speech');
const { CaptureRecording, captureCommand } = require('./lib/capture');
const { bridgeCaptureToSpeech } = require('./lib/bridge');
const { analyze, analysisDoctor, ANALYSIS_HELPERS } = require('./lib/analysis');
const { calendarClient } = require('./lib/calendar');
const { loadWindowAppearance, windowAppearanceModulePath } = require('./lib/window_appearance');
const { audioPackets, systemAudioPackets, maximumPacketFrames } = require('./lib/audio_packets');

/**
 * @param {{ binDir: string, libDir?: string, env?: NodeJS.ProcessEnv }} options
 *   binDir: the folder of the helper executables; libDir: the folder of the addon;
 *   env: the helpers' environment (default: this process's)
 */
function createHelpers({ binDir, libDir, env }) {
  if (typeof binDir !== 'string' || binDir === '') throw new TypeError('binDir must name the folder of the helper executables.');
  const pathOf = (helper) => path.join(binDir, helper);
  const context = (options) => ({ pathOf, env, signal: options?.signal });
  const analysisCall = (kind) => (request, options) => analyze(kind, request, context(options));

  return {
    binDir,
    libDir,
    pathOf,

    /** Starts a recording: `{ allSystem: true }` or `{ bundleId }`. */
    startCapture: (options) => new CaptureRecording({ ...options, path: pathOf('quorvantel-capture'), env }),
    capture: {
      list: (options) => captureCommand({ ...context(options), path: pathOf('quorvantel-capture'), args: ['list'], type: 'sources' }),
      meetingMetadata: (bundleId, options) =>
        captureCommand({ ...context(options), path: pathOf('quorvantel-capture'), args: ['meeting-metadata', '--bundle-id', bundleId], type: 'meeting-metadata' }),
      displayStatus: (options) =>
        captureCommand({ ...context(options), path: pathOf('quorvantel-capture'), args: ['display-status'], type: 'display-status' }),
      selfTest: (options) => captureCommand({ ...context(options), path: pathOf('quorvantel-capture'), args: ['selftest'], type: 'selftest' }),
    },

    /** Starts a live transcription: `{ locale }` (default "en-US"). */
    startSpeech: (options = {}) => new SpeechRun({ ...options, path: pathOf('quorvantel-speech'), env }),
    speech: {
      probe: (locale = 'en-US', options) =>
        speechCommand({ ...context(options), path: pathOf('quorvantel-speech'), args: ['probe', '--locale', locale], type: 'availability' }),
      prepare: (locale = 'en-US', options) =>
        speechCommand({ ...context(options), path: pathOf('quorvantel-speech'), args: ['prepare', '--locale', locale], type: 'availability' }),
      selfTest: (options) => speechCommand({ ...context(options), path: pathOf('quorvantel-speech'), args: ['selftest'], type: 'selftest' }),
    },

    analysis: {
      chapters: analysisCall('chapters'),
      titles: analysisCall('titles'),
      topics: analysisCall('topics'),
      categories: analysisCall('categories'),
      doctor: (kind, options) => analysisDoctor(kind, context(options)),
    },

    calendar: calendarClient({ pathOf, env }),

    /** Loads the window appearance addon from libDir. */
    loadWindowAppearance: () => {
      if (typeof libDir !== 'string' || libDir === '') throw new TypeError('libDir must name the folder of the addon.');
      return loadWindowAppearance(windowAppearanceModulePath(libDir));
    },
  };
}

module.exports = {
  createHelpers,
  bridgeCaptureToSpeech,
  HelperError,
  SpeechRun,
  CaptureRecording,
  analyze,
  analysisDoctor,
  ANALYSIS_HELPERS,
  calendarClient,
  loadWindowAppearance,
  windowAppearanceModulePath,
  audioPackets,
  systemAudioPackets,
  maximumPacketFrames,
};
