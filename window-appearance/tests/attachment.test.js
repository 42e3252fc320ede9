'use strict';
// Attaching, inspecting and detaching the glass, and what the host, the user and the
// platform can do to an attached window meanwhile.
const { test, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const {
  addon, sim, openWindow, resetPlatform, assertFails, withoutMembers, FULL_SIZE_CONTENT_VIEW, DEFAULT_STYLE_MASK,
} = require('./support');

const NO_WINDOW = 'Window handle does not identify a live app content view.';
const REFUSING = 'Native content hierarchy changed; refusing to replace it.';
const NOT_RESTORED = 'Native content hierarchy changed; restoration was not performed.';
const FALLBACK_FAILED = 'Could not restore content for the accessibility fallback.';
const GLASS_MASK = 18; // width and height sizable

beforeEach(resetPlatform);

// Everything observable about a window through its host handle: the diagnostics
// (without the reason), the host's view as the stand-in sees it, and the focus.
function snapshot(handle) {
  const focused = sim.firstResponder(handle);
  return {
    diagnostics: withoutMembers(addon.inspect(handle), 'reason'),
    view: sim.describeView(handle),
    firstResponder: focused && sim.handleHex(focused),
  };
}

function rect(width, height) {
  return { x: 0, y: 0, width, height };
}

test('attach puts the glass behind the content, and inspect finds the window through the wrapped handle', (t) => {
  const handle = openWindow(t, { width: 1024, height: 700 });
  const attached = addon.attach(handle, 'regular');
  assert.deepEqual(
    {
      supported: attached.supported,
      attached: attached.attached,
      contentViewWrapped: attached.contentViewWrapped,
      attachedViewCount: attached.attachedViewCount,
      trackedWindowCount: attached.trackedWindowCount,
      style: attached.style,
      reason: attached.reason,
      contentViewClass: attached.contentViewClass,
      originalContentViewClass: attached.originalContentViewClass,
      windowStyleMask: attached.windowStyleMask,
      fullSizeContentView: attached.fullSizeContentView,
      titlebarAppearsTransparent: attached.titlebarAppearsTransparent,
      glassFrame: attached.glassFrame,
      contentFrame: attached.contentFrame,
      bounds: attached.bounds,
      expectedContentFrame: attached.expectedContentFrame,
      geometryMatchesExpected: attached.geometryMatchesExpected,
    },
    {
      supported: true,
      attached: true,
      contentViewWrapped: true,
      attachedViewCount: 1,
      trackedWindowCount: 1,
      style: 'regular',
      reason: 'attached',
      contentViewClass: 'NSGlassEffectView',
      originalContentViewClass: 'NSView',
      windowStyleMask: DEFAULT_STYLE_MASK | FULL_SIZE_CONTENT_VIEW,
      fullSizeContentView: true,
      titlebarAppearsTransparent: true,
      glassFrame: rect(1024, 700),
      contentFrame: rect(1024, 700),
      bounds: rect(1024, 700),
      expectedContentFrame: rect(1024, 700),
      geometryMatchesExpected: true,
    },
  );

  // The host's view now sits inside the glass, sized with it.
  const glass = sim.contentView(handle);
  assert.deepEqual(sim.describeView(glass).glass, { style: 0, cornerRadius: 12, hasContentView: true });
  assert.equal(sim.describeView(glass).autoresizingMask, GLASS_MASK);
  const view = sim.describeView(handle);
  assert.equal(view.superviewClass, 'NSGlassEffectView');
  assert.equal(view.autoresizingMask, GLASS_MASK);
  assert.deepEqual(view.frame, rect(1024, 700));

  const inspected = addon.inspect(handle);
  assert.deepEqual(withoutMembers(inspected, 'reason'), withoutMembers(attached, 'reason'));
  assert.equal(inspected.reason, 'inspected');
  addon.detach(handle);
});

test('inspect reports the window, its settings and its standard buttons', (t) => {
  const first = openWindow(t);
  const handle = openWindow(t, { width: 500, height: 400, styleMask: 1 | 2 });
  const d = addon.inspect(handle);
  assert.equal(d.windowNumber > addon.inspect(first).windowNumber, true);
  assert.deepEqual(withoutMembers(d, 'windowNumber', 'trafficLights'), {
    supported: true,
    attached: false,
    contentViewWrapped: false,
    attachedViewCount: 0,
    trackedWindowCount: 0,
    style: null,
    reason: 'inspected',
    contentViewClass: 'NSView',
    originalContentViewClass: 'NSView',
    windowStyleMask: 3,
    fullSizeContentView: false,
    titlebarAppearsTransparent: false,
    isKeyWindow: true,
    visible: true,
    opaque: true,
    reducedTransparency: false,
    highContrast: false,
    backingScaleFactor: 2,
    windowFrame: rect(500, 400),
    bounds: rect(500, 400),
    glassFrame: rect(0, 0),
    contentFrame: rect(500, 400),
    expectedContentFrame: rect(500, 400),
    geometryMatchesExpected: true,
  });
  // Only the close button is enabled on a titled, closable window; the buttons sit in
  // the title bar, 14 points below the top at their centre.
  const button = (x, enabled) => ({
    present: true, hidden: false, enabled,
    frame: { x, y: 6, width: 14, height: 16 },
    windowFrame: { x, y: 400 - 22, width: 14, height: 16 },
    centerFromTop: 14,
  });
  assert.deepEqual(d.trafficLights, { close: button(12, true), minimize: button(32, false), zoom: button(52, false) });
  assert.equal(addon.inspect(first).isKeyWindow, false);

  // A borderless window has no buttons at all.
  const borderless = openWindow(t, { styleMask: 0 });
  const absent = { present: false, hidden: true, enabled: false, frame: rect(0, 0), windowFrame: rect(0, 0), centerFromTop: 0 };
  assert.deepEqual(addon.inspect(borderless).trafficLights, { close: absent, minimize: absent, zoom: absent });
});

test('the diagnostics object has its members in their documented order', (t) => {
  const handle = openWindow(t);
  for (const d of [addon.inspect(handle), addon.attach(handle, 'regular'), addon.detach(handle)]) {
    assert.deepEqual(Object.keys(d), [
      'supported', 'attached', 'contentViewWrapped', 'attachedViewCount', 'trackedWindowCount', 'style', 'reason',
      'contentViewClass', 'originalContentViewClass', 'windowNumber', 'windowStyleMask', 'fullSizeContentView',
      'titlebarAppearsTransparent', 'isKeyWindow', 'visible', 'opaque', 'reducedTransparency', 'highContrast',
      'backingScaleFactor', 'windowFrame', 'bounds', 'glassFrame', 'contentFrame', 'expectedContentFrame',
      'geometryMatchesExpected', 'trafficLights',
    ]);
    for (const name of ['windowFrame', 'bounds', 'glassFrame', 'contentFrame', 'expectedContentFrame']) {
      assert.deepEqual(Object.keys(d[name]), ['x', 'y', 'width', 'height'], name);
    }
    assert.deepEqual(Object.keys(d.trafficLights), ['close', 'minimize', 'zoom']);
    assert.deepEqual(Object.keys(d.trafficLights.zoom), ['present', 'hidden', 'enabled', 'frame', 'windowFrame', 'centerFromTop']);
  }
});

test('attaching twice keeps the one record and its glass and only changes the style', (t) => {
  const handle = openWindow(t);
  addon.attach(handle, 'regular');
  const glass = sim.handleHex(sim.contentView(handle));
  const observers = sim.counts().observers;

  const again = addon.attach(handle, 'clear');
  assert.equal(again.trackedWindowCount, 1);
  assert.equal(again.style, 'clear');
  assert.equal(again.attached, true);
  assert.equal(sim.handleHex(sim.contentView(handle)), glass);
  assert.equal(sim.describeView(sim.contentView(handle)).glass.style, 1, 'the clear material');
  assert.equal(sim.counts().observers, observers);

  const back = addon.attach(handle, 'regular');
  assert.equal(back.style, 'regular');
  assert.equal(sim.describeView(sim.contentView(handle)).glass.style, 0);
  addon.detach(handle);
});

test('attach with the clear style installs the clear material', (t) => {
  const handle = openWindow(t);
  const d = addon.attach(handle, 'clear');
  assert.equal(d.style, 'clear');
  assert.equal(d.attached, true);
  assert.equal(sim.describeView(sim.contentView(handle)).glass.style, 1);
  addon.detach(handle);
});

test('detach puts the window back exactly, keeping the settings that were on before', (t) => {
  const cases = [
    { name: 'neither setting on', styleMask: DEFAULT_STYLE_MASK, titlebarAppearsTransparent: false },
    { name: 'full-size content already on', styleMask: DEFAULT_STYLE_MASK | FULL_SIZE_CONTENT_VIEW, titlebarAppearsTransparent: false },
    { name: 'transparent title bar already on', styleMask: DEFAULT_STYLE_MASK, titlebarAppearsTransparent: true },
    { name: 'both already on', styleMask: DEFAULT_STYLE_MASK | FULL_SIZE_CONTENT_VIEW, titlebarAppearsTransparent: true },
    { name: 'a borderless window', styleMask: 0, titlebarAppearsTransparent: false },
  ];
  for (const { name, ...options } of cases) {
    t.diagnostic(name);
    const handle = openWindow(t, { width: 720, height: 450, ...options });
    const before = snapshot(handle);
    const attached = addon.attach(handle, 'regular');
    assert.equal(attached.fullSizeContentView, true, name);
    assert.equal(attached.titlebarAppearsTransparent, true, name);

    const detached = addon.detach(handle);
    assert.equal(detached.reason, 'detached');
    assert.deepEqual(withoutMembers(detached, 'reason'), before.diagnostics, name);
    assert.deepEqual(snapshot(handle), before, name);
    assert.equal(detached.windowStyleMask, options.styleMask, name);
    assert.equal(detached.titlebarAppearsTransparent, options.titlebarAppearsTransparent, name);
    assert.equal(before.view.superviewClass, 'NSThemeFrame');
  }
});

test('detach of a window that was never attached succeeds and changes nothing', (t) => {
  const handle = openWindow(t);
  const before = snapshot(handle);
  const detached = addon.detach(handle);
  assert.equal(detached.reason, 'detached');
  assert.equal(detached.attached, false);
  assert.deepEqual(snapshot(handle), before);
  // And so does a second detach after a first one.
  addon.attach(handle, 'regular');
  addon.detach(handle);
  assert.equal(addon.detach(handle).reason, 'detached');
  assert.deepEqual(snapshot(handle), before);
});

test('the content follows a window resized while attached', (t) => {
  const cases = [
    { name: 'grown by 100 x 50', width: 900, height: 650 },
    { name: 'shrunk by 200 x 100', width: 600, height: 500 },
    { name: 'grown in width, shrunk in height', width: 1000, height: 300 },
  ];
  for (const { name, width, height } of cases) {
    t.diagnostic(name);
    const handle = openWindow(t, { width: 800, height: 600 });
    addon.attach(handle, 'regular');
    sim.resizeWindow(handle, width, height);
    const resized = addon.inspect(handle);
    assert.deepEqual(resized.glassFrame, rect(width, height), name);
    assert.deepEqual(resized.contentFrame, rect(width, height), name);
    assert.equal(resized.geometryMatchesExpected, true, name);

    const detached = addon.detach(handle);
    assert.deepEqual(detached.contentFrame, rect(width, height), name);
    assert.deepEqual(detached.bounds, rect(width, height), name);
    assert.equal(detached.geometryMatchesExpected, true, name);
    assert.deepEqual(sim.describeView(handle).frame, rect(width, height), name);
  }
});

test('the geometry check holds the content, its bounds and the glass to the window frame within half a point', (t) => {
  // The host moves or sizes views itself; each case sets one frame and says whether
  // the window still counts as filled.
  const cases = [
    ['nothing moved', null, true],
    ['content 0.4 points narrower', { target: 'content', frame: { x: 0, y: 0, width: 799.6, height: 600 } }, true],
    ['content 0.5 points narrower', { target: 'content', frame: { x: 0, y: 0, width: 799.5, height: 600 } }, false],
    ['content 0.5 points taller', { target: 'content', frame: { x: 0, y: 0, width: 800, height: 600.5 } }, false],
    ['content moved right by 0.49', { target: 'content', frame: { x: 0.49, y: 0, width: 800, height: 600 } }, true],
    ['content moved up by 1', { target: 'content', frame: { x: 0, y: 1, width: 800, height: 600 } }, false],
    ['content moved left by 1', { target: 'content', frame: { x: -1, y: 0, width: 800, height: 600 } }, false],
    ['glass one point short', { target: 'glass', frame: { x: 0, y: 0, width: 800, height: 599 } }, false],
    ['glass moved down by 0.3', { target: 'glass', frame: { x: 0, y: -0.3, width: 800, height: 600 } }, true],
  ];
  for (const attached of [false, true]) {
    for (const [name, change, matches] of cases) {
      if (!attached && change && change.target === 'glass') continue;
      t.diagnostic(`${attached ? 'attached' : 'plain'}: ${name}`);
      const handle = openWindow(t, { width: 800, height: 600 });
      if (attached) addon.attach(handle, 'regular');
      if (change) sim.setFrame(change.target === 'glass' ? sim.contentView(handle) : handle, change.frame);
      const d = addon.inspect(handle);
      assert.equal(d.geometryMatchesExpected, matches, name);
      if (change && change.target === 'content') assert.deepEqual(d.contentFrame, change.frame, name);
      if (change && change.target === 'glass') assert.deepEqual(d.glassFrame, change.frame, name);
      if (attached) addon.detach(handle);
    }
  }
});

test('the first responder is kept across attach and detach', (t) => {
  const cases = [
    ['a view inside the content', (handle) => sim.addSubview(handle)],
    ['the content view itself', (handle) => handle],
    ['a view two levels down', (handle) => sim.addSubview(sim.addSubview(handle))],
  ];
  for (const [name, focus] of cases) {
    t.diagnostic(name);
    const handle = openWindow(t);
    const field = focus(handle);
    assert.equal(sim.makeFirstResponder(field), true);
    const focused = sim.handleHex(field);
    addon.attach(handle, 'regular');
    assert.equal(sim.handleHex(sim.firstResponder(handle)), focused, `${name}: after attach`);
    addon.detach(handle);
    assert.equal(sim.handleHex(sim.firstResponder(handle)), focused, `${name}: after detach`);
  }
  // With nothing focused, the window stays its own first responder.
  const handle = openWindow(t);
  addon.attach(handle, 'regular');
  assert.equal(sim.firstResponder(handle), null);
  addon.detach(handle);
  assert.equal(sim.firstResponder(handle), null);
});

test('a content view the host replaced makes detach fail, drop the record and leave the window alone', (t) => {
  const handle = openWindow(t);
  const observers = sim.counts().observers;
  addon.attach(handle, 'regular');
  const replaced = sim.replaceContentView(handle);
  assertFails(() => addon.inspect(handle), TypeError, NO_WINDOW);

  const inspected = addon.inspect(replaced);
  assert.equal(inspected.attached, false);
  assert.equal(inspected.trackedWindowCount, 1);
  assert.equal(inspected.style, null);
  assert.equal(inspected.contentViewClass, 'NSView');

  assertFails(() => addon.detach(replaced), Error, NOT_RESTORED);
  const after = addon.inspect(replaced);
  assert.equal(after.trackedWindowCount, 0);
  assert.equal(sim.counts().observers, observers);
  // Untouched: the settings the addon turned on stay as the host now has them.
  assert.equal(after.fullSizeContentView, true);
  assert.equal(after.titlebarAppearsTransparent, true);
  assert.equal(sim.handleHex(sim.contentView(replaced)), sim.handleHex(replaced));
  // With the record gone, the window can be attached afresh.
  assert.equal(addon.attach(replaced, 'regular').attached, true);
  addon.detach(replaced);
});

test('attach over a content view the host replaced refuses and keeps the record', (t) => {
  const handle = openWindow(t);
  addon.attach(handle, 'regular');
  const replaced = sim.replaceContentView(handle);
  assertFails(() => addon.attach(replaced, 'clear'), Error, REFUSING);
  const d = addon.inspect(replaced);
  assert.equal(d.trackedWindowCount, 1);
  assert.equal(d.contentViewClass, 'NSView');
  assertFails(() => addon.detach(replaced), Error, NOT_RESTORED);
});

test('closing an attached window removes its record without a detach', (t) => {
  const kept = openWindow(t);
  const closing = openWindow(t);
  addon.attach(kept, 'regular');
  addon.attach(closing, 'clear');
  const observers = sim.counts().observers;
  assert.equal(addon.inspect(kept).trackedWindowCount, 2);

  sim.closeWindow(closing);
  assert.equal(addon.inspect(kept).trackedWindowCount, 1);
  assert.equal(addon.inspect(kept).attached, true);
  assert.equal(sim.counts().observers, observers - 1);
  assertFails(() => addon.inspect(closing), TypeError, NO_WINDOW);
  addon.detach(kept);
  assert.equal(sim.counts().observers, observers - 2);
});

test('reduced transparency and increased contrast make attach fall back and restore an attached window', (t) => {
  const cases = [
    [{ reduceTransparency: true }, 'reduced-transparency'],
    [{ increaseContrast: true }, 'high-contrast'],
    [{ reduceTransparency: true, increaseContrast: true }, 'reduced-transparency'],
  ];
  const flags = ['reason', 'reducedTransparency', 'highContrast'];
  for (const [settings, reason] of cases) {
    t.diagnostic(reason);
    resetPlatform();
    // A window never attached stays as it is; a window attached before the setting
    // changed is put back.
    const fresh = openWindow(t);
    const attached = openWindow(t, { styleMask: DEFAULT_STYLE_MASK | FULL_SIZE_CONTENT_VIEW });
    const field = sim.addSubview(attached);
    sim.makeFirstResponder(field);
    sim.resizeWindow(attached, 700, 500);
    const attachedBefore = snapshot(attached);
    addon.attach(attached, 'regular');
    const freshBefore = snapshot(fresh);

    sim.setAccessibility(settings);
    for (const [handle, before] of [[fresh, freshBefore], [attached, attachedBefore]]) {
      const d = addon.attach(handle, 'regular');
      assert.equal(d.reason, reason);
      assert.equal(d.attached, false);
      assert.equal(d.style, null);
      assert.equal(d.reducedTransparency, settings.reduceTransparency === true);
      assert.equal(d.highContrast, settings.increaseContrast === true);
      assert.deepEqual(withoutMembers(d, ...flags), withoutMembers(before.diagnostics, ...flags));
      assert.deepEqual(sim.describeView(handle), before.view);
      assert.equal(snapshot(handle).firstResponder, before.firstResponder);
    }
  }
});

test('the accessibility fallback fails when the host replaced the content view', (t) => {
  const handle = openWindow(t);
  addon.attach(handle, 'regular');
  const replaced = sim.replaceContentView(handle);
  sim.setAccessibility({ increaseContrast: true });
  assertFails(() => addon.attach(replaced, 'regular'), Error, FALLBACK_FAILED);
  assert.equal(addon.inspect(replaced).trackedWindowCount, 0);
});

test('on a system older than macOS 26 attach reports macos-26-required and changes nothing', (t) => {
  const handle = openWindow(t);
  const before = snapshot(handle);
  sim.setSystemVersion(25);
  // The version is checked before the accessibility settings.
  sim.setAccessibility({ reduceTransparency: true });
  const d = addon.attach(handle, 'regular');
  assert.equal(d.reason, 'macos-26-required');
  assert.equal(d.supported, false);
  assert.equal(d.attached, false);
  assert.deepEqual(withoutMembers(d, 'reason', 'supported', 'reducedTransparency'),
    withoutMembers(before.diagnostics, 'supported', 'reducedTransparency'));
  assert.deepEqual(sim.describeView(handle), before.view);
  assert.equal(addon.inspect(handle).supported, false);
  assert.equal(addon.detach(handle).reason, 'detached');

  resetPlatform();
  assert.equal(addon.attach(handle, 'regular').reason, 'attached');
  addon.detach(handle);
});

test('on an older system, glass attached before is reported but never taken apart', (t) => {
  const handle = openWindow(t);
  addon.attach(handle, 'regular');
  sim.setSystemVersion(15);
  const d = addon.inspect(handle);
  assert.equal(d.supported, false);
  assert.equal(d.attached, true);
  assertFails(() => addon.attach(handle, 'regular'), Error, FALLBACK_FAILED);
  // The record went with the refusal; the window keeps its glass.
  assert.equal(sim.describeView(sim.contentView(handle)).className, 'NSGlassEffectView');
  assertFails(() => addon.inspect(handle), TypeError, NO_WINDOW);
});

test('an AppKit exception while the glass goes in leaves the window exactly as it was', (t) => {
  const operations = [
    // Before the record exists: nothing of the window has changed yet.
    'NSGlassEffectView initWithFrame:',
    'NSGlassEffectView setAutoresizingMask:',
    'NSGlassEffectView setCornerRadius:',
    // After: each change made so far is undone.
    'NSWindow firstResponder',
    'NSWindow setStyleMask:',
    'NSWindow setTitlebarAppearsTransparent:',
    'NSView setAutoresizingMask:',
    'NSWindow setContentView:',
    'NSGlassEffectView setContentView:',
    'NSView setFrame:',
    'NSWindow makeFirstResponder:',
    'NSNotificationCenter addObserverForName:object:queue:usingBlock:',
    'NSGlassEffectView setStyle:',
  ];
  for (const operation of operations) {
    t.diagnostic(operation);
    const handle = openWindow(t, { width: 640, height: 400 });
    sim.makeFirstResponder(sim.addSubview(handle));
    const before = snapshot(handle);
    const observers = sim.counts().observers;

    sim.failOperation({ operation, name: 'NSInternalInconsistencyException' });
    assertFails(() => addon.attach(handle, 'regular'), Error,
      'AppKit Liquid Glass operation failed: NSInternalInconsistencyException');
    assert.equal(sim.counts().pendingFaults, 0, `${operation} was reached`);
    assert.deepEqual(snapshot(handle), before, operation);
    assert.equal(sim.counts().observers, observers, operation);

    // The window is as good as new: a second attach works.
    assert.equal(addon.attach(handle, 'regular').attached, true, operation);
    assert.deepEqual(withoutMembers(addon.detach(handle), 'reason'), before.diagnostics, operation);
  }
});

test('when putting the window back raises too, the record is dropped and the window left as it is', (t) => {
  const handle = openWindow(t);
  // The first raise installs nothing; the second hits the rollback.
  sim.failOperation({ operation: 'NSGlassEffectView setContentView:', name: 'FirstException' });
  sim.failOperation({ operation: 'NSGlassEffectView setContentView:', after: 1, name: 'SecondException' });
  assertFails(() => addon.attach(handle, 'regular'), Error, 'AppKit Liquid Glass operation failed: FirstException');
  assert.equal(sim.counts().pendingFaults, 0);
  const content = sim.describeView(sim.contentView(handle));
  assert.equal(content.className, 'NSGlassEffectView');
  assert.equal(content.glass.hasContentView, false);
  // No record holds the host's view any more, so its handle names no window.
  assertFails(() => addon.inspect(handle), TypeError, NO_WINDOW);
});

test('an AppKit exception during detach keeps the record, and a later detach restores the window', (t) => {
  const handle = openWindow(t);
  const before = snapshot(handle);
  addon.attach(handle, 'regular');
  sim.failOperation({ operation: 'NSWindow setContentView:', name: 'NSWindowException' });
  assertFails(() => addon.detach(handle), Error, 'AppKit Liquid Glass operation failed: NSWindowException');
  const halfway = addon.inspect(handle);
  assert.equal(halfway.trackedWindowCount, 1);
  assert.equal(halfway.attached, false);
  const detached = addon.detach(handle);
  assert.equal(detached.trackedWindowCount, 0);
  assert.deepEqual(snapshot(handle), before);
});
