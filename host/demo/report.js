'use strict';
// What both roads print: the week's meetings, a transcript and the analysis answers.
const { startOfWeek, DAY_MS } = require('./sample_meetings');

function heading(text) {
  console.log(`\n== ${text}`);
}

function count(n, noun) {
  return `${n} ${noun}${n === 1 ? '' : 's'}`;
}

function seconds(ms) {
  return `${(ms / 1000).toFixed(2)} s`;
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

// Starts a transcription that collects its final segments and counts its partial ones.
async function startTranscription(helpers) {
  const speech = helpers.startSpeech({ locale: 'en-US' });
  const transcript = { speech, finals: [], partials: 0 };
  speech.on('segment', (segment) => {
    if (segment.isFinal) transcript.finals.push(segment);
    else transcript.partials += 1;
  });
  await speech.ready;
  return transcript;
}

function printSegments(finals) {
  for (const s of finals) {
    console.log(`  ${s.id.padEnd(16)} ${seconds(s.startMs)} - ${seconds(s.endMs)}  (${s.timingSource})  "${s.text}"`);
  }
}

// Each final segment is one passage; the helpers answer with its reference, which maps
// back onto the segment's source and time.
async function analysisStep(helpers, finals) {
  heading('the four analysis helpers on the transcript');
  const passages = finals.map((s, i) => ({ reference: `s${i + 1}`, text: s.text }));
  const at = new Map(finals.map((s, i) => [`s${i + 1}`, `${s.source} ${seconds(s.startMs)}`]));
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

module.exports = { heading, count, seconds, when, calendarStep, startTranscription, printSegments, analysisStep };
