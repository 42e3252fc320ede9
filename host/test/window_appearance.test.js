'use strict';
// Loading the window appearance addon through the client and using it on a stand-in
// window: attach, inspect and detach, and a refused call as the addon's own error.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { helpersOn } = require('./support');

test('the loader returns the module, which attaches and detaches glass on a window', (t) => {
  const addon = helpersOn(t).loadWindowAppearance();
  assert.equal(typeof addon.attach, 'function');
  const handle = addon.simulation.createWindow({ width: 1000, height: 700 });
  t.after(() => addon.simulation.closeWindow(handle));

  const attached = addon.attach(handle, 'regular');
  assert.deepEqual([attached.reason, attached.attached, attached.style, attached.geometryMatchesExpected], ['attached', true, 'regular', true]);
  const inspected = addon.inspect(handle);
  assert.deepEqual([inspected.reason, inspected.attached, inspected.attachedViewCount], ['inspected', true, 1]);
  assert.deepEqual(inspected.expectedContentFrame, { x: 0, y: 0, width: 1000, height: 700 });
  const detached = addon.detach(handle);
  assert.deepEqual([detached.reason, detached.attached, detached.style], ['detached', false, null]);

  assert.throws(() => addon.attach(handle, 'purple'), { name: 'TypeError', message: 'Style must be regular or clear.' });
});

test('loading twice gives the same module', (t) => {
  const helpers = helpersOn(t);
  assert.equal(helpers.loadWindowAppearance(), helpers.loadWindowAppearance());
});
