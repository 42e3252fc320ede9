'use strict';
// The window appearance addon lives in the app's main process: loading it is a
// require of the built module, on the main thread.

const path = require('node:path');

const MODULE_FILE = 'quorvantel-window-appearance.node';

/** Where the built module is in a build's lib folder. */
function windowAppearanceModulePath(libDir) {
  return path.join(libDir, MODULE_FILE);
}

/**
 * Loads the addon and returns the module: `attach(handle, style)`, `inspect(handle)`,
 * `detach(handle)`, and on the stand-in platform `simulation`.
 * @param {string} modulePath
 */
function loadWindowAppearance(modulePath) {
  return require(modulePath);
}

module.exports = { loadWindowAppearance, windowAppearanceModulePath };
