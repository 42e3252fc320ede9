'use strict';
// Every argument and handle problem of attach, inspect and detach, with its kind and
// message, in the order the checks run; and the platform exception form.
const { test, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { addon, sim, openWindow, resetPlatform, assertFails, strayHandle } = require('./support');

const UNEXPECTED = 'Unexpected Liquid Glass arguments.';
const NOT_BUFFER = 'Window handle must be a Buffer.';
const NOT_ONE_POINTER = 'Window handle must contain exactly one native pointer.';
const NULL_HANDLE = 'Window handle must not be null.';
const BAD_STYLE = 'Style must be regular or clear.';
const NO_WINDOW = 'Window handle does not identify a live app content view.';

beforeEach(resetPlatform);

test('each function takes exactly its own number of arguments', (t) => {
  const handle = openWindow(t);
  const cases = [
    ['attach with no argument', () => addon.attach()],
    ['attach with one argument', () => addon.attach(handle)],
    ['attach with three arguments', () => addon.attach(handle, 'regular', 'regular')],
    ['inspect with no argument', () => addon.inspect()],
    ['inspect with two arguments', () => addon.inspect(handle, 'regular')],
    ['detach with no argument', () => addon.detach()],
    ['detach with two arguments', () => addon.detach(handle, undefined)],
    ['attach with many arguments', () => addon.attach(handle, 'regular', 1, 2, 3, 4, 5)],
  ];
  for (const [name, call] of cases) {
    t.diagnostic(name);
    assertFails(call, TypeError, UNEXPECTED);
  }
  // Nothing was attached by any of them.
  assert.equal(addon.inspect(handle).trackedWindowCount, 0);
});

test('a handle must be an 8-byte Buffer holding a non-zero pointer of a live content view', (t) => {
  const closed = sim.createWindow({});
  sim.closeWindow(closed);
  const other = openWindow(t);
  const subview = sim.addSubview(other);
  const replaced = openWindow(t);
  sim.replaceContentView(replaced);
  const cases = [
    ['a string', 'window', NOT_BUFFER],
    ['a number', 42, NOT_BUFFER],
    ['null', null, NOT_BUFFER],
    ['undefined', undefined, NOT_BUFFER],
    ['an array of 8 bytes', [1, 2, 3, 4, 5, 6, 7, 8], NOT_BUFFER],
    ['an ArrayBuffer', new ArrayBuffer(8), NOT_BUFFER],
    ['an empty Buffer', Buffer.alloc(0), NOT_ONE_POINTER],
    ['a 4-byte Buffer', Buffer.alloc(4, 1), NOT_ONE_POINTER],
    ['a 16-byte Buffer', Buffer.alloc(16, 1), NOT_ONE_POINTER],
    ['8 zero bytes', Buffer.alloc(8), NULL_HANDLE],
    ['a pointer to no view', strayHandle(), NO_WINDOW],
    ['the content view of a closed window', closed, NO_WINDOW],
    ['a view inside a content view', subview, NO_WINDOW],
    ['a content view the host has replaced', replaced, NO_WINDOW],
  ];
  for (const [name, handle, message] of cases) {
    for (const [operation, call] of [
      ['attach', () => addon.attach(handle, 'regular')],
      ['inspect', () => addon.inspect(handle)],
      ['detach', () => addon.detach(handle)],
    ]) {
      t.diagnostic(`${operation}: ${name}`);
      assertFails(call, TypeError, message);
    }
  }
});

test('attach accepts the styles regular and clear, and nothing else', (t) => {
  const handle = openWindow(t);
  const refused = [
    ['a number', 7],
    ['null', null],
    ['undefined', undefined],
    ['a boolean', true],
    ['an object', { style: 'regular' }],
    ['a String object', new String('regular')], // eslint-disable-line no-new-wrappers
    ['an empty string', ''],
    ['another case', 'Regular'],
    ['a longer name', 'regularx'],
    ['a name of eight bytes that starts with clear', 'clearxyz'],
    ['a very long string', 'regular'.repeat(1000)],
    ['a name with a trailing NUL', 'clear\u0000'],
    ['a name with a leading space', ' clear'],
    ['another material', 'glass'],
    ['a name with a non-ASCII letter', 'cl\u00e9ar'],
    ['seven characters in eight UTF-8 bytes', 'r\u00e9gular'],
  ];
  for (const [name, style] of refused) {
    t.diagnostic(name);
    assertFails(() => addon.attach(handle, style), TypeError, BAD_STYLE);
  }
  assert.equal(addon.inspect(handle).trackedWindowCount, 0);
  assert.equal(addon.attach(handle, 'regular').style, 'regular');
  assert.equal(addon.attach(handle, 'clear').style, 'clear');
  addon.detach(handle);
});

test('the checks run in order: argument count, handle, style, window', () => {
  // Each call is wrong in two ways; the earlier check is the one reported.
  assertFails(() => addon.attach('not a handle'), TypeError, UNEXPECTED);
  assertFails(() => addon.attach('not a handle', 7), TypeError, NOT_BUFFER);
  assertFails(() => addon.attach(Buffer.alloc(4), 7), TypeError, NOT_ONE_POINTER);
  assertFails(() => addon.attach(Buffer.alloc(8), 7), TypeError, NULL_HANDLE);
  assertFails(() => addon.attach(strayHandle(), 7), TypeError, BAD_STYLE);
  assertFails(() => addon.attach(strayHandle(), 'regular'), TypeError, NO_WINDOW);
});

test('an AppKit exception becomes an Error naming the exception, or "unknown exception" without a name', (t) => {
  const handle = openWindow(t);
  const cases = [
    [{ operation: 'NSApplication windows' }, 'AppKit Liquid Glass operation failed: NSInternalInconsistencyException'],
    [{ operation: 'NSApplication windows', name: 'NSGenericException' }, 'AppKit Liquid Glass operation failed: NSGenericException'],
    [{ operation: 'NSApplication windows', name: null }, 'AppKit Liquid Glass operation failed: unknown exception'],
  ];
  for (const [plan, message] of cases) {
    for (const [operation, call] of [
      ['attach', () => addon.attach(handle, 'regular')],
      ['inspect', () => addon.inspect(handle)],
      ['detach', () => addon.detach(handle)],
    ]) {
      t.diagnostic(`${operation}: ${message}`);
      sim.failOperation(plan);
      assertFails(call, Error, message);
    }
  }
  assert.equal(sim.counts().pendingFaults, 0);
  assert.equal(addon.inspect(handle).trackedWindowCount, 0);
});
