// Types of the app's client of the Tovrel native helpers.

/// <reference types="node" />

import { EventEmitter } from 'node:events';

// ---- Failures. ----

/**
 * A helper's failure. For kind "error-line" the message is the helper's error line
 * text exactly; otherwise it is the client's description of what the helper did.
 */
export class HelperError extends Error {
  readonly name: 'HelperError';
  readonly helper: string;
  readonly kind: 'error-line' | 'exit' | 'protocol' | 'start' | 'aborted';
  readonly exitCode: number | null;
  readonly signal: NodeJS.Signals | null;
  /** The end of the helper's standard error (at most 8 KiB). */
  readonly stderr: string;
}

export interface CallOptions {
  /** Aborting ends the helper's process; the call then rejects. */
  signal?: AbortSignal;
}

// ---- The shared stream frame. ----

export interface HelperExit {
  code: number | null;
  signal: NodeJS.Signals | null;
}

/**
 * A long-lived helper: events by type (EventEmitter) or pulled in order (async
 * iteration, which holds the helper's output while the app is busy). The iteration
 * ends after the last event, or throws the helper's failure after the events before
 * it. Events wait for the app's first listener, iterator or resume(), so none is lost
 * before the app listens (beyond 256 waiting events the helper's output is held in
 * its pipe); events after `ready`/`started` also wait until the code after that
 * await has run. Writes wait for the helper's pipe: await each one.
 */
declare class HelperStream<Event extends { type: string }, Outcome> extends EventEmitter implements AsyncIterable<Event> {
  readonly helper: string;
  readonly pid: number | undefined;
  /** Bytes written to the helper's input that its pipe has not yet taken (at most one line). */
  readonly pendingInputBytes: number;
  /** Resolves when the helper has ended as its protocol allows; rejects with a HelperError. */
  readonly finished: Promise<Outcome>;
  /** Holds the delivery of further events and the reading of the helper's output. */
  pause(): void;
  resume(): void;
  kill(signal?: NodeJS.Signals): void;
  [Symbol.asyncIterator](): AsyncIterableIterator<Event>;
}

// ---- Speech. ----

export type Source = 'microphone' | 'system-audio';

export interface ReadyEvent {
  type: 'ready';
}

export interface SegmentEvent {
  type: 'segment';
  source: Source;
  /** "<source>-<n>": all revisions of one utterance share it. */
  id: string;
  /** On the recording timeline of the packets, in milliseconds. */
  startMs: number;
  endMs: number;
  timingSource: 'speech-audio-range' | 'result-range';
  text: string;
  /** true for the result that closes the utterance. */
  isFinal: boolean;
}

export interface SpeechStoppedEvent {
  type: 'stopped';
}

export type SpeechEvent = ReadyEvent | SegmentEvent | SpeechStoppedEvent;

export interface AudioPacketInput {
  source: Source;
  sampleRate: 16000 | 48000;
  channels: 1 | 2;
  startMs: number;
  /** Interleaved signed 16-bit little-endian samples, channel 0 first. */
  pcm: Uint8Array;
}

export interface AudioPacketLine {
  type: 'audio';
  source: Source;
  sampleRate: 16000 | 48000;
  channels: 1 | 2;
  startMs: number;
  data: string;
}

export class SpeechRun extends HelperStream<SpeechEvent, { exitCode: 0 }> {
  constructor(options: { path: string; locale?: string; env?: NodeJS.ProcessEnv; signal?: AbortSignal });
  readonly locale: string;
  /** Resolves once both recognition sessions exist; rejects with the failure if the run ends first. */
  readonly ready: Promise<ReadyEvent>;
  /** 48 kHz stereo PCM whose first frame is `startFrame` on the capture clock. */
  sendSystemAudio(pcm: Uint8Array, startFrame: number): Promise<void>;
  sendMicrophone(pcm: Uint8Array, timing: { startMs: number; sampleRate?: 16000 | 48000; channels?: 1 | 2 }): Promise<void>;
  sendAudio(audio: AudioPacketInput): Promise<void>;
  /** One input line as given, unchecked by the client. */
  sendLine(message: object): Promise<void>;
  /** Writes {"type":"stop"} and resolves once the helper has written "stopped" and exited. */
  stop(): Promise<{ exitCode: 0 }>;

  on(event: 'ready', listener: (event: ReadyEvent) => void): this;
  on(event: 'segment', listener: (event: SegmentEvent) => void): this;
  on(event: 'stopped', listener: (event: SpeechStoppedEvent) => void): this;
  on(event: string | symbol, listener: (...args: any[]) => void): this;
}

export interface AvailabilityLine {
  type: 'availability';
  status: string;
  locale: string;
  [key: string]: unknown;
}

// ---- Capture. ----

export interface StartedEvent {
  type: 'started';
  sampleRate: 48000;
  channels: 2;
  /** Wall-clock milliseconds since 1970 of frame 0. */
  captureStartedAtMs: number;
}

export interface AudioEvent {
  type: 'audio';
  /** base64 of 16-bit little-endian stereo PCM. */
  data: string;
  /** The largest absolute sample, 0 to 1. */
  peak: number;
  startFrame: number;
  /** Frames in `data` (added by the client). */
  frames: number;
}

export interface SilenceEvent {
  type: 'silence';
  startFrame: number;
  frames: number;
}

export interface CaptureStoppedEvent {
  type: 'stopped';
  totalFrames: number;
  discardedPreStartFrames: number;
}

export type CaptureEvent = StartedEvent | AudioEvent | SilenceEvent | CaptureStoppedEvent;

export class CaptureRecording extends HelperStream<CaptureEvent, CaptureStoppedEvent> {
  constructor(options: { path: string; allSystem?: true; bundleId?: string; env?: NodeJS.ProcessEnv; signal?: AbortSignal });
  /** Resolves with "started"; rejects with the failure if the recording ends first. */
  readonly started: Promise<StartedEvent>;
  /** The frame the next audio or silence line must start at. */
  readonly nextFrame: number;
  /** Writes "stop" and resolves with "stopped" once the helper has exited. */
  stop(): Promise<CaptureStoppedEvent>;

  on(event: 'started', listener: (event: StartedEvent) => void): this;
  on(event: 'audio', listener: (event: AudioEvent) => void): this;
  on(event: 'silence', listener: (event: SilenceEvent) => void): this;
  on(event: 'stopped', listener: (event: CaptureStoppedEvent) => void): this;
  on(event: string | symbol, listener: (...args: any[]) => void): this;
}

export interface SourcesLine {
  type: 'sources';
  sources: { id: string; name: string }[];
}

export interface MeetingMetadataLine {
  type: 'meeting-metadata';
  schemaVersion: number;
  applicationId: string;
  status: string;
  reason?: string;
  windowTitle?: string;
}

export interface DisplayStatusLine {
  type: 'display-status';
  schemaVersion: number;
  status: string;
  observedAt: string;
  [key: string]: unknown;
}

export interface BridgeSummary {
  totalFrames: number;
  audioFrames: number;
  silenceFrames: number;
  audioLines: number;
  silenceLines: number;
  discardedPreStartFrames: number;
}

/**
 * Streams a recording into a transcription: each "audio" line at frame f becomes
 * system-audio packets with startMs f ÷ 48; "silence" lines are not sent.
 */
export function bridgeCaptureToSpeech(capture: CaptureRecording, speech: SpeechRun): Promise<BridgeSummary>;

// ---- Analysis. ----

export interface Passage {
  /** "^[a-zA-Z0-9_-]{1,64}$" (categories: letters, digits, "-" and "_"). */
  reference: string;
  text: string;
}

export interface ChaptersRequest {
  schemaVersion: 1 | 2;
  locale: 'en-US';
  segments: Passage[];
  /** Schema 2 only. */
  context?: { text: string; previousHeading: string | null } | null;
}

export interface TitlesRequest {
  schemaVersion: 1;
  locale: 'en-US';
  phase: 'extract' | 'synthesize';
  segments: Passage[];
}

export interface TopicsRequest {
  schemaVersion: 1;
  locale: 'en-US';
  segments: Passage[];
}

export type CategoriesRequest = TopicsRequest;

interface EnvelopeBase {
  schemaVersion: number;
  providerId: 'apple-foundation-models';
  processingLocation: 'on-device';
  durationMs: number;
}

export interface FailedEnvelope extends EnvelopeBase {
  status: 'failed' | 'unavailable';
  code: string;
  message: string;
}

export interface DoctorEnvelope extends EnvelopeBase {
  status: 'available';
  promptVersion: string;
  maximumRequestBytes: number;
  maximumResponseTokens: number;
  modelVersion: null;
  osVersion: string;
  supportedRequestSchemas?: number[];
}

export type ChaptersEnvelope =
  | (EnvelopeBase & {
      status: 'complete';
      task: 'meeting-chapters';
      isSubstantive: boolean;
      continuesPrevious?: boolean;
      chapters: { heading: string; startReference: string }[];
    })
  | FailedEnvelope;

export type TitlesEnvelope =
  | (EnvelopeBase & { status: 'complete'; task: 'meeting-titles'; title: string; evidenceReferences: string[] })
  | (EnvelopeBase & { status: 'abstained'; code: 'insufficient_evidence'; message: string; evidenceReferences: [] })
  | FailedEnvelope;

export type TopicsEnvelope =
  | (EnvelopeBase & { status: 'complete'; isSubstantive: boolean; tags: { label: string; references: string[] }[] })
  | FailedEnvelope;

export type CategoriesEnvelope =
  | (EnvelopeBase & {
      status: 'complete';
      category:
        | 'planning'
        | 'status_update'
        | 'customer_discussion'
        | 'retrospective'
        | 'brainstorming'
        | 'interview'
        | 'mixed'
        | 'unclear';
      evidenceReferences: string[];
    })
  | FailedEnvelope;

export type AnalysisKind = 'chapters' | 'titles' | 'topics' | 'categories';

export const ANALYSIS_HELPERS: Readonly<Record<AnalysisKind, { helper: string; flag: '--analyze' | '--suggest' | '--classify' }>>;

// ---- Calendar. ----

export type CalendarReason = 'invalid-request' | 'permission-required' | 'calendar-unavailable' | 'result-limit' | 'access-failed';

export type CalendarResponse<Result> =
  | ({ schemaVersion: 1; status: 'ok' } & Result)
  | { schemaVersion: 1; status: 'error'; reason: CalendarReason };

export type CalendarAccess = 'not-determined' | 'restricted' | 'denied' | 'full-access' | 'write-only' | 'unavailable';

export interface Occurrence {
  calendarId: string;
  seriesId: string;
  occurrenceStartMs: number;
  startMs: number;
  endMs: number;
  title: string;
  isRecurring: boolean;
  identityStatus: 'review-required' | 'stable';
  status: 'confirmed' | 'tentative' | 'canceled' | 'unknown';
  responseStatus: 'accepted' | 'declined' | 'tentative' | 'unknown';
  /** "meet:…", "zoom:…", "teams:meeting:…" or "teams:thread:…". */
  meetingKey: string | null;
  joinUrl: string | null;
}

export interface CalendarClient {
  getAccess(options?: CallOptions): Promise<CalendarResponse<{ access: CalendarAccess }>>;
  requestFullAccess(options?: CallOptions): Promise<CalendarResponse<{ access: CalendarAccess }>>;
  listCalendars(options?: CallOptions): Promise<CalendarResponse<{ calendars: { id: string; title: string }[] }>>;
  listOccurrences(
    window: { calendarIds: string[]; startMs: number; endMs: number },
    options?: CallOptions,
  ): Promise<CalendarResponse<{ occurrences: Occurrence[] }>>;
  request(request: object, options?: CallOptions): Promise<CalendarResponse<Record<string, unknown>>>;
  selfTest(options?: CallOptions): Promise<CalendarResponse<{ syntheticCases: number }>>;
}

// ---- Window appearance addon. ----

export interface Rect {
  x: number;
  y: number;
  width: number;
  height: number;
}

export interface TrafficLight {
  present: boolean;
  hidden: boolean;
  enabled: boolean;
  frame: Rect;
  windowFrame: Rect;
  centerFromTop: number;
}

export interface WindowDiagnostics {
  supported: boolean;
  attached: boolean;
  contentViewWrapped: boolean;
  attachedViewCount: number;
  trackedWindowCount: number;
  style: string | null;
  reason: 'attached' | 'macos-26-required' | 'reduced-transparency' | 'high-contrast' | 'inspected' | 'detached';
  contentViewClass: string | null;
  originalContentViewClass: string | null;
  windowNumber: number;
  windowStyleMask: number;
  fullSizeContentView: boolean;
  titlebarAppearsTransparent: boolean;
  isKeyWindow: boolean;
  visible: boolean;
  opaque: boolean;
  reducedTransparency: boolean;
  highContrast: boolean;
  backingScaleFactor: number;
  windowFrame: Rect;
  bounds: Rect;
  glassFrame: Rect;
  contentFrame: Rect;
  expectedContentFrame: Rect;
  geometryMatchesExpected: boolean;
  trafficLights: { close: TrafficLight; minimize: TrafficLight; zoom: TrafficLight };
}

/** The stand-in AppKit of the Linux build. */
export interface WindowSimulation {
  createWindow(options?: { width?: number; height?: number; styleMask?: number; titlebarAppearsTransparent?: boolean }): Buffer;
  closeWindow(handle: Buffer): void;
  replaceContentView(handle: Buffer): Buffer;
  resizeWindow(handle: Buffer, width: number, height: number): void;
  setAccessibility(settings: { reduceTransparency?: boolean; increaseContrast?: boolean }): void;
  setSystemVersion(major: number): void;
}

export interface WindowAppearance {
  /** `handle`: a Buffer of the window's content-view pointer (8 bytes). */
  attach(handle: Buffer, style: 'regular' | 'clear'): WindowDiagnostics;
  inspect(handle: Buffer): WindowDiagnostics;
  detach(handle: Buffer): WindowDiagnostics;
  readonly simulation?: WindowSimulation;
}

export function loadWindowAppearance(modulePath: string): WindowAppearance;
export function windowAppearanceModulePath(libDir: string): string;

// ---- Packets. ----

export function audioPackets(audio: AudioPacketInput): AudioPacketLine[];
export function systemAudioPackets(pcm: Uint8Array, startFrame: number): AudioPacketLine[];
export function maximumPacketFrames(sampleRate: 16000 | 48000, channels: 1 | 2): number;

// ---- Everything bound to one build. ----

interface AnalysisContext {
  pathOf: (helper: string) => string;
  env?: NodeJS.ProcessEnv;
  signal?: AbortSignal;
}

export function analyze(kind: 'chapters', request: ChaptersRequest, context: AnalysisContext): Promise<ChaptersEnvelope>;
export function analyze(kind: 'titles', request: TitlesRequest, context: AnalysisContext): Promise<TitlesEnvelope>;
export function analyze(kind: 'topics', request: TopicsRequest, context: AnalysisContext): Promise<TopicsEnvelope>;
export function analyze(kind: 'categories', request: CategoriesRequest, context: AnalysisContext): Promise<CategoriesEnvelope>;
export function analysisDoctor(kind: AnalysisKind, context: AnalysisContext): Promise<DoctorEnvelope | FailedEnvelope>;
export function calendarClient(context: { pathOf: (helper: string) => string; env?: NodeJS.ProcessEnv }): CalendarClient;

export interface Helpers {
  readonly binDir: string;
  readonly libDir: string | undefined;
  pathOf(helper: string): string;

  startCapture(options: { allSystem: true } | { bundleId: string }): CaptureRecording;
  readonly capture: {
    list(options?: CallOptions): Promise<SourcesLine>;
    meetingMetadata(bundleId: string, options?: CallOptions): Promise<MeetingMetadataLine>;
    /** Resolves with the line also when the query failed (the helper then exits 1). */
    displayStatus(options?: CallOptions): Promise<DisplayStatusLine>;
    selfTest(options?: CallOptions): Promise<{ type: 'selftest'; ok: true }>;
  };

  startSpeech(options?: { locale?: string }): SpeechRun;
  readonly speech: {
    probe(locale?: string, options?: CallOptions): Promise<AvailabilityLine>;
    prepare(locale?: string, options?: CallOptions): Promise<AvailabilityLine>;
    selfTest(options?: CallOptions): Promise<{ type: 'selftest'; ok: true }>;
  };

  readonly analysis: {
    chapters(request: ChaptersRequest, options?: CallOptions): Promise<ChaptersEnvelope>;
    titles(request: TitlesRequest, options?: CallOptions): Promise<TitlesEnvelope>;
    topics(request: TopicsRequest, options?: CallOptions): Promise<TopicsEnvelope>;
    categories(request: CategoriesRequest, options?: CallOptions): Promise<CategoriesEnvelope>;
    doctor(kind: AnalysisKind, options?: CallOptions): Promise<DoctorEnvelope | FailedEnvelope>;
  };

  readonly calendar: CalendarClient;

  loadWindowAppearance(): WindowAppearance;
}

/**
 * The clients bound to one folder of built helpers (binDir) and the addon's folder
 * (libDir). `env` is the helpers' environment (default: this process's).
 */
export function createHelpers(options: { binDir: string; libDir?: string; env?: NodeJS.ProcessEnv }): Helpers;
