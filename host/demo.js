'use strict';
// The road of one recording through the client. On a Linux desktop (or a bare machine,
// where private services are started): the week's meetings, a meeting application's
// audio recorded through PipeWire and transcribed with the microphone side, the word
// error rate against what was said, the four analysis answers, and glass on a window.
// With --stand-in, the same road on the stand-in platform.
// Usage: node host/demo.js [--stand-in | --short] [--private-services] <bin folder> <lib folder>
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { standInRoad } = require('./demo/stand_in_road');
const { realRoad } = require('./demo/real_road');

const USAGE = 'Usage: node host/demo.js [--stand-in | --short] [--private-services] <bin folder> <lib folder>';

function parse(argv) {
  const options = { standIn: false, short: false, privateServices: false, folders: [] };
  for (const arg of argv) {
    if (arg === '--stand-in') options.standIn = true;
    else if (arg === '--short') options.short = true;
    else if (arg === '--private-services') options.privateServices = true;
    else if (arg.startsWith('--')) return null;
    else options.folders.push(arg);
  }
  if (options.folders.length !== 2 || (options.standIn && (options.short || options.privateServices))) return null;
  return options;
}

// Ctrl-C or a termination signal ends the demo through its exit, where everything it
// started is stopped.
const SIGNAL_EXIT_STATUS = { SIGINT: 130, SIGTERM: 143 };

let work = null;

async function main() {
  for (const [signal, status] of Object.entries(SIGNAL_EXIT_STATUS)) {
    process.once(signal, () => {
      console.error(`demo: ${signal}, stopping what it started`);
      // After the services and applications have stopped (their exit listeners came
      // first), their folder goes too.
      process.once('exit', () => work && fs.rmSync(work, { recursive: true, force: true, maxRetries: 3 }));
      process.exit(status);
    });
  }
  const options = parse(process.argv.slice(2));
  if (!options) {
    console.error(USAGE);
    process.exit(2);
  }
  const [binDir, libDir] = options.folders.map((f) => path.resolve(f));
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvantel-demo-'));
  try {
    if (options.standIn) await standInRoad({ binDir, libDir, work });
    else await realRoad({ binDir, libDir, work, short: options.short, privateServices: options.privateServices });
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
    work = null;
  }
}

main().catch((error) => {
  console.error(`demo failed: ${error.message}`);
  process.exitCode = 1;
});
