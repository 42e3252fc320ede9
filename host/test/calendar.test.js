'use strict';
// Every calendar command through the client, on a stand-in calendar store: answers and
// refusals are response objects; only a broken helper makes a call reject.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { calendarClient } = require('..');
const { helpersOn, fakeHelper } = require('./support');

const HOUR = 3_600_000;
const DAY = 24 * HOUR;
const monday = Date.UTC(2026, 5, 1, 0, 0, 0);

const calendars = [
  { id: 'work', title: '  Work  ' },
  { id: 'home', title: 'Home' },
];

// A timed event of the store, with what the scenario leaves out filled in.
function event(fields) {
  return {
    calendarId: 'work',
    title: 'Event',
    isAllDay: false,
    occurrenceDateMs: null,
    recurrenceRuleCount: 0,
    externalId: null,
    status: 'confirmed',
    organizerIsCurrentUser: true,
    attendees: [],
    url: null,
    location: null,
    notes: null,
    ...fields,
  };
}

const events = [
  event({ localId: 'review', title: 'Design review', startMs: monday + 26 * HOUR, endMs: monday + 27 * HOUR,
    notes: 'Join: https://meet.google.com/ABC-DEFG-HIJ?authuser=0.' }),
  event({ localId: 'standup', title: 'Stand-up', startMs: monday + 9 * HOUR, endMs: monday + 9.25 * HOUR,
    occurrenceDateMs: monday + 9 * HOUR, recurrenceRuleCount: 1, externalId: 'series-standup',
    location: 'https://acme.zoom.us/j/123456789?pwd=secret' }),
  event({ localId: 'offsite', title: 'Offsite', isAllDay: true, startMs: monday, endMs: monday + DAY }),
  event({ calendarId: 'home', localId: 'dentist', title: '', startMs: monday + 30 * HOUR, endMs: monday + 31 * HOUR,
    organizerIsCurrentUser: false, attendees: [{ isCurrentUser: true, participantStatus: 'declined' }] }),
];

const scenario = (calendar) => ({ calendar: { authorization: 'fullAccess', calendars, events, ...calendar } });

test('the access commands report and request calendar access', async (t) => {
  const cases = [
    [{ authorization: 'notDetermined' }, 'getAccess', 'not-determined'],
    [{ authorization: 'fullAccess' }, 'getAccess', 'full-access'],
    [{ authorization: 'notDetermined', requestResult: 'fullAccess' }, 'requestFullAccess', 'full-access'],
    [{ authorization: 'notDetermined', requestResult: 'denied' }, 'requestFullAccess', 'denied'],
    [{ authorization: 'denied', requestResult: 'fullAccess' }, 'requestFullAccess', 'denied'],
  ];
  for (const [calendar, command, access] of cases) {
    const response = await helpersOn(t, scenario(calendar)).calendar[command]();
    assert.deepEqual(response, { schemaVersion: 1, status: 'ok', access }, `${command} with ${JSON.stringify(calendar)}`);
  }
});

test('list-calendars gives the store\'s calendars, titles trimmed', async (t) => {
  const response = await helpersOn(t, scenario({})).calendar.listCalendars();
  assert.deepEqual(response, { schemaVersion: 1, status: 'ok', calendars: [{ id: 'work', title: 'Work' }, { id: 'home', title: 'Home' }] });
});

test('list-occurrences gives the week\'s timed meetings in start order with their join links', async (t) => {
  const response = await helpersOn(t, scenario({})).calendar.listOccurrences({
    calendarIds: ['work', 'home'], startMs: monday, endMs: monday + 7 * DAY,
  });
  assert.equal(response.status, 'ok');
  assert.deepEqual(response.occurrences.map((o) => [o.title, o.startMs, o.meetingKey, o.joinUrl, o.seriesId, o.responseStatus]), [
    ['Stand-up', monday + 9 * HOUR, 'zoom:123456789', 'https://acme.zoom.us/j/123456789?pwd=secret', 'series-standup', 'accepted'],
    ['Design review', monday + 26 * HOUR, 'meet:abc-defg-hij', 'https://meet.google.com/abc-defg-hij', 'local:review', 'accepted'],
    ['Untitled event', monday + 30 * HOUR, null, null, 'local:dentist', 'declined'],
  ]);
  assert.deepEqual(response.occurrences[0], {
    calendarId: 'work', seriesId: 'series-standup', occurrenceStartMs: monday + 9 * HOUR,
    startMs: monday + 9 * HOUR, endMs: monday + 9.25 * HOUR, title: 'Stand-up', isRecurring: true,
    identityStatus: 'review-required', status: 'confirmed', responseStatus: 'accepted',
    meetingKey: 'zoom:123456789', joinUrl: 'https://acme.zoom.us/j/123456789?pwd=secret',
  });
});

test('refusals come back as the helper\'s reason', async (t) => {
  const week = { calendarIds: ['work'], startMs: monday, endMs: monday + 7 * DAY };
  const cases = [
    ['a window over 31 days', {}, (c) => c.listOccurrences({ ...week, endMs: monday + 32 * DAY }), 'invalid-request'],
    ['an unknown calendar', {}, (c) => c.listOccurrences({ ...week, calendarIds: ['work', 'travel'] }), 'calendar-unavailable'],
    ['no access', { authorization: 'denied' }, (c) => c.listOccurrences(week), 'permission-required'],
    ['no access to list calendars', { authorization: 'denied' }, (c) => c.listCalendars(), 'permission-required'],
    ['an unknown command', {}, (c) => c.request({ command: 'delete-calendar' }), 'invalid-request'],
    ['an extra key', {}, (c) => c.request({ command: 'get-access', verbose: true }), 'invalid-request'],
  ];
  for (const [name, calendar, call, reason] of cases) {
    const response = await call(helpersOn(t, scenario(calendar)).calendar);
    assert.deepEqual(response, { schemaVersion: 1, status: 'error', reason }, name);
  }
});

test('an access prompt the user never answers can be given up by aborting the call', async (t) => {
  const calendar = helpersOn(t, scenario({ authorization: 'notDetermined', requestResult: 'noAnswer' })).calendar;
  const controller = new AbortController();
  const asking = calendar.requestFullAccess({ signal: controller.signal });
  setTimeout(() => controller.abort(), 100);
  await assert.rejects(asking, { name: 'HelperError', kind: 'aborted', message: 'quorvantel-calendar was ended because the call was aborted.' });
});

test('the self-test runs its synthetic cases', async (t) => {
  assert.deepEqual(await helpersOn(t).calendar.selfTest(), { schemaVersion: 1, status: 'ok', syntheticCases: 13 });
});

test('a response that is not the helper\'s makes the call reject', async (t) => {
  const path = fakeHelper(t, 'process.stdout.write(\'{"schemaVersion":2,"status":"ok"}\\n\')');
  await assert.rejects(calendarClient({ pathOf: () => path }).getAccess(), {
    name: 'HelperError', kind: 'protocol', message: 'quorvantel-calendar answered with a line its command does not write.',
  });
});
