'use strict';
// Loading the module: its exports, the main-thread rule at load, the package the host
// requires, and the clean-up hook restoring every window when the environment ends.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { Worker } = require('node:worker_threads');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { addon, sim, modulePath, openWindow, resetPlatform, FULL_SIZE_CONTENT_VIEW } = require('./support');

test('exports attach, inspect, detach and the stand-in simulation', () => {
  for (const name of ['attach', 'inspect', 'detach']) {
    assert.equal(typeof addon[name], 'function', name);
    const descriptor = Object.getOwnPropertyDescriptor(addon, name);
    // Created with the default attributes: neither writable, enumerable nor configurable.
    assert.deepEqual(
      { writable: descriptor.writable, enumerable: descriptor.enumerable, configurable: descriptor.configurable },
      { writable: false, enumerable: false, configurable: false },
    );
  }
  for (const name of ['createWindow', 'closeWindow', 'replaceContentView', 'resizeWindow', 'setAccessibility', 'setSystemVersion']) {
    assert.equal(typeof sim[name], 'function', name);
  }
});

test('loading the module on a worker thread fails at load time and leaves the main thread working', async (t) => {
  resetPlatform();
  const error = await new Promise((resolve, reject) => {
    const worker = new Worker('require(require("node:worker_threads").workerData)', { eval: true, workerData: modulePath });
    worker.on('error', resolve);
    worker.on('exit', (code) => reject(new Error(`the worker loaded the module and exited with ${code}`)));
  });
  assert.equal(error.constructor, Error);
  assert.equal(error.message, 'Load the Liquid Glass prototype in the app main process only.');

  const handle = openWindow(t);
  assert.equal(addon.attach(handle, 'regular').attached, true);
  assert.equal(addon.detach(handle).attached, false);
});

test('the package folder is what the host requires, and it loads the built module', () => {
  // The package's main points into the build folder beside it: lay out a copy of
  // that arrangement and require the folder in a fresh process.
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'window-appearance-package-'));
  try {
    fs.mkdirSync(path.join(root, 'window-appearance'));
    fs.mkdirSync(path.join(root, 'build', 'lib'), { recursive: true });
    fs.copyFileSync(path.join(__dirname, '..', 'package.json'), path.join(root, 'window-appearance', 'package.json'));
    fs.copyFileSync(modulePath, path.join(root, 'build', 'lib', 'quorvantel-window-appearance.node'));
    const child = spawnSync(
      process.execPath,
      ['-e', 'const m = require(process.argv[1]); console.log(JSON.stringify([typeof m.attach, typeof m.inspect, typeof m.detach]))',
        path.join(root, 'window-appearance')],
      { encoding: 'utf8' },
    );
    assert.equal(child.status, 0, child.stderr);
    assert.deepEqual(JSON.parse(child.stdout), ['function', 'function', 'function']);
  } finally {
    fs.rmSync(root, { recursive: true, force: true });
  }
});

test('the clean-up hook restores every attached window when the environment ends', () => {
  // No JavaScript runs after the environment's clean-up, so a fresh process attaches
  // and lets the stand-in report its windows at exit.
  const script = `
    const { attach } = require(process.argv[1]);
    const sim = require(process.argv[1]).simulation;
    const plain = sim.createWindow({ width: 640, height: 480 });
    const styled = sim.createWindow({ styleMask: 15 | ${FULL_SIZE_CONTENT_VIEW}, titlebarAppearsTransparent: true });
    attach(plain, 'regular');
    attach(styled, 'clear');
    sim.resizeWindow(plain, 740, 530);
    sim.reportWindowsAtExit();
    console.log(JSON.stringify({ plain: sim.handleHex(plain), styled: sim.handleHex(styled) }));
  `;
  const child = spawnSync(process.execPath, ['-e', script, modulePath], { encoding: 'utf8' });
  assert.equal(child.status, 0, child.stderr);
  const [handlesLine, reportLine] = child.stdout.trim().split('\n');
  const handles = JSON.parse(handlesLine);
  const { windowsAtExit } = JSON.parse(reportLine);
  assert.deepEqual(windowsAtExit, [
    {
      windowNumber: 1, contentView: handles.plain, contentViewClass: 'NSView',
      contentFrame: { x: 0, y: 0, width: 740, height: 530 }, autoresizingMask: 0,
      styleMask: 15, titlebarAppearsTransparent: false,
    },
    {
      windowNumber: 2, contentView: handles.styled, contentViewClass: 'NSView',
      contentFrame: { x: 0, y: 0, width: 800, height: 600 }, autoresizingMask: 0,
      styleMask: 15 | FULL_SIZE_CONTENT_VIEW, titlebarAppearsTransparent: true,
    },
  ]);
  assert.equal(child.stderr, '');
});
