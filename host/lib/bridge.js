'use strict';
// The road from the capture helper to the speech helper: every "audio" line becomes
// system-audio packets at its own frame position (startMs = frame ÷ 48, cut to the
// speech helper's packet bounds); "silence" lines are not sent, because the speech
// helper fills holes in system audio with silence itself. The capture's lines are
// pulled one at a time and the next is taken only once the speech helper's input has
// taken the packets of the last, so a slow recogniser slows the reading of the
// capture instead of filling the app's memory.

/**
 * Streams a recording into a transcription until the recording stops. Resolves with
 * a summary once the capture helper has written "stopped"; rejects with the failure
 * of either helper (the other one is left running for the app to stop).
 * @param {import('./capture').CaptureRecording} capture
 * @param {import('./speech').SpeechRun} speech
 */
async function bridgeCaptureToSpeech(capture, speech) {
  const summary = { totalFrames: 0, audioFrames: 0, silenceFrames: 0, audioLines: 0, silenceLines: 0, discardedPreStartFrames: 0 };
  for await (const event of capture) {
    if (event.type === 'audio') {
      await speech.sendSystemAudio(Buffer.from(event.data, 'base64'), event.startFrame);
      summary.audioFrames += event.frames;
      summary.audioLines += 1;
    } else if (event.type === 'silence') {
      summary.silenceFrames += event.frames;
      summary.silenceLines += 1;
    } else if (event.type === 'stopped') {
      summary.totalFrames = event.totalFrames;
      summary.discardedPreStartFrames = event.discardedPreStartFrames;
    }
  }
  return summary;
}

module.exports = { bridgeCaptureToSpeech };
