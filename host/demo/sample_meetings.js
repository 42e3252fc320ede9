'use strict';
// A few meetings of the current week for a private calendar store, as iCalendar: a
// weekly series with a Meet link in its location, a review with a Zoom link in its
// notes, a call with a Teams link as its URL, and an all-day event without a link.

const HOUR_MS = 3_600_000;
const DAY_MS = 24 * HOUR_MS;

/** Local midnight of the Monday of the week of `now`. */
function startOfWeek(now) {
  const day = new Date(now);
  day.setHours(0, 0, 0, 0);
  day.setDate(day.getDate() - ((day.getDay() + 6) % 7));
  return day.getTime();
}

// 20261211T150000Z
function utc(ms) {
  return new Date(ms).toISOString().replace(/[-:]/g, '').replace(/\.\d{3}/, '');
}

// 20261211
function date(ms) {
  const d = new Date(ms);
  return `${d.getFullYear()}${String(d.getMonth() + 1).padStart(2, '0')}${String(d.getDate()).padStart(2, '0')}`;
}

function calendar(events) {
  return ['BEGIN:VCALENDAR', 'VERSION:2.0', 'PRODID:-//Tovrel//demo//EN', ...events.flat(), 'END:VCALENDAR', ''].join('\r\n');
}

function event(uid, lines) {
  return ['BEGIN:VEVENT', `UID:${uid}`, 'DTSTAMP:20260101T000000Z', ...lines, 'END:VEVENT'];
}

/** The calendars { uid, title, ics } for the week of `now`. */
function sampleCalendars(now = Date.now()) {
  const monday = startOfWeek(now);
  const at = (day, hour, minute = 0) => monday + day * DAY_MS + hour * HOUR_MS + minute * 60_000;
  const work = calendar([
    event('weekly-sync@tovrel.demo', [
      `DTSTART:${utc(at(-7, 9, 30))}`, `DTEND:${utc(at(-7, 10))}`, 'RRULE:FREQ=WEEKLY;COUNT=6',
      'SUMMARY:Weekly sync', 'LOCATION:https://meet.google.com/abc-defg-hij',
    ]),
    event('design-review@tovrel.demo', [
      `DTSTART:${utc(at(2, 14))}`, `DTEND:${utc(at(2, 15))}`, 'SUMMARY:Design review',
      'DESCRIPTION:Join Zoom Meeting\\nhttps://us02web.zoom.us/j/81234567890?pwd=QWERTY12345',
      'ORGANIZER;CN=Ada:mailto:ada@example.org',
      'ATTENDEE;CN=Ada;PARTSTAT=ACCEPTED:mailto:ada@example.org',
      'ATTENDEE;CN=Ben;PARTSTAT=TENTATIVE:mailto:ben@example.org',
    ]),
    event('customer-call@tovrel.demo', [
      `DTSTART:${utc(at(3, 16))}`, `DTEND:${utc(at(3, 16, 45))}`, 'SUMMARY:Customer call',
      'URL:https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjQ2%40thread.v2/0',
    ]),
  ]);
  const team = calendar([
    event('offsite@tovrel.demo', [
      `DTSTART;VALUE=DATE:${date(at(4, 12))}`, `DTEND;VALUE=DATE:${date(at(5, 12))}`, 'SUMMARY:Team offsite',
    ]),
  ]);
  return [
    { uid: 'tovrel-demo-work', title: 'Work', ics: work },
    { uid: 'tovrel-demo-team', title: 'Team', ics: team },
  ];
}

module.exports = { sampleCalendars, startOfWeek, DAY_MS };
