'use strict';
// The fixture of the module's tests: the built module (named by the test command),
// its stand-in AppKit, and windows that close themselves when a test ends.
const assert = require('node:assert/strict');

const modulePath = process.env.QUORVANTEL_WINDOW_APPEARANCE_MODULE;
if (!modulePath) {
  throw new Error('QUORVANTEL_WINDOW_APPEARANCE_MODULE must name the built quorvantel-window-appearance.node');
}
const addon = require(modulePath);
const sim = addon.simulation;

const CLOSED = "simulation: the handle's window is closed.";
const FULL_SIZE_CONTENT_VIEW = 32768;
const DEFAULT_STYLE_MASK = 15;

// A new window for this test, closed when the test ends (unless the test closed it).
function openWindow(t, options = {}) {
  const handle = sim.createWindow(options);
  t.after(() => {
    try {
      sim.closeWindow(handle);
    } catch (error) {
      if (error.message !== CLOSED) throw error;
    }
  });
  return handle;
}

// Every test starts on a plain macOS 26 with no planned exceptions.
function resetPlatform() {
  sim.setAccessibility({ reduceTransparency: false, increaseContrast: false });
  sim.setSystemVersion(26);
  sim.clearFaults();
}

// Asserts the exact class (Error or TypeError) and message of a failed call.
function assertFails(call, kind, message) {
  assert.throws(call, (error) => {
    assert.equal(error.constructor, kind, `expected a ${kind.name}, got ${error.constructor.name}: ${error.message}`);
    assert.equal(error.message, message);
    return true;
  });
}

// Diagnostics without the members a call is expected to change.
function withoutMembers(diagnostics, ...names) {
  const copy = { ...diagnostics };
  for (const name of names) delete copy[name];
  return copy;
}

// A handle of 8 bytes that names no view of the application.
function strayHandle() {
  const handle = Buffer.alloc(8);
  handle.writeBigUInt64LE(0x10n);
  return handle;
}

module.exports = {
  addon,
  sim,
  modulePath,
  openWindow,
  resetPlatform,
  assertFails,
  withoutMembers,
  strayHandle,
  FULL_SIZE_CONTENT_VIEW,
  DEFAULT_STYLE_MASK,
};
