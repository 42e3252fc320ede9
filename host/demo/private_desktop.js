'use strict';
// The desktop services the road needs, when the machine runs none of its own (a bare
// machine such as a build server): a session bus, PipeWire with WirePlumber and its
// Pulse server, a null sink as the default output, and evolution-data-server (started
// by the bus when first asked) with calendars seeded as files. Everything lives in one
// throw-away folder, and every process started here is stopped by its id on every
// path: `stop` on a normal end or a failure, and at the process's exit otherwise (the
// demo turns Ctrl-C and a termination signal into an exit, so they are covered too).
const fs = require('node:fs');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');

// How long each service may take to answer before the start counts as failed.
const READY_TIMEOUT_MS = 15_000;
const POLL_INTERVAL_MS = 50;
// How long a stopped service may take to exit before it is killed outright.
const STOP_GRACE_MS = 2_000;

const NULL_SINK_CONF = `context.objects = [
  { factory = adapter
    args = { factory.name = support.null-audio-sink node.name = "main"
             media.class = "Audio/Sink" audio.position = "FL,FR" audio.rate = 48000
             monitor.channel-volumes = true } }
]
`;

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

async function waitUntil(what, ready, processes) {
  const deadline = Date.now() + READY_TIMEOUT_MS;
  for (;;) {
    const exited = processes.find((p) => p.exitCode !== null || p.signalCode !== null);
    if (exited) throw new Error(`${exited.spawnargs[0]} exited before ${what} was ready (status ${exited.exitCode ?? exited.signalCode}).`);
    if (ready()) return;
    if (Date.now() > deadline) throw new Error(`${what} was not ready within ${READY_TIMEOUT_MS / 1000} seconds.`);
    await sleep(POLL_INTERVAL_MS);
  }
}

function commandSucceeds(command, args, env) {
  const result = spawnSync(command, args, { env, stdio: ['ignore', 'pipe', 'ignore'], encoding: 'utf8', timeout: 5_000 });
  return result.status === 0 ? result.stdout : null;
}

// A desktop calendar source of the local backend, as evolution-data-server keeps it.
function sourceFile(title) {
  return `[Data Source]\nDisplayName=${title}\nEnabled=true\nParent=local-stub\n\n[Calendar]\nBackendName=local\n`;
}

class PrivateDesktop {
  constructor(folder) {
    this.folder = folder;
    this.processes = [];
    this.busPid = null;
    this.stopped = false;
    const runtime = path.join(folder, 'runtime');
    this.env = {
      ...process.env,
      HOME: path.join(folder, 'home'),
      XDG_RUNTIME_DIR: runtime,
      XDG_CONFIG_HOME: path.join(folder, 'config'),
      XDG_DATA_HOME: path.join(folder, 'data'),
      XDG_CACHE_HOME: path.join(folder, 'cache'),
      DBUS_SESSION_BUS_ADDRESS: `unix:path=${path.join(runtime, 'bus')}`,
      PULSE_SERVER: `unix:${path.join(runtime, 'pulse', 'native')}`,
      GSETTINGS_BACKEND: 'keyfile',
    };
    delete this.env.PIPEWIRE_REMOTE;
    delete this.env.PIPEWIRE_RUNTIME_DIR;
    // A library preloaded into this process (a sanitizer runtime, when the demo runs
    // under test with the addon) is not for the machine's programs started here.
    delete this.env.LD_PRELOAD;
    for (const dir of ['HOME', 'XDG_CONFIG_HOME', 'XDG_DATA_HOME', 'XDG_CACHE_HOME']) fs.mkdirSync(this.env[dir], { recursive: true });
    fs.mkdirSync(runtime, { recursive: true, mode: 0o700 });
    this.onExit = () => this.stopNow();
    process.once('exit', this.onExit);
  }

  // Calendars for evolution-data-server to find when it starts: `calendars` is a list
  // of { uid, title, ics }.
  seedCalendars(calendars) {
    const sources = path.join(this.env.XDG_CONFIG_HOME, 'evolution', 'sources');
    fs.mkdirSync(sources, { recursive: true });
    for (const { uid, title, ics } of calendars) {
      fs.writeFileSync(path.join(sources, `${uid}.source`), sourceFile(title));
      const store = path.join(this.env.XDG_DATA_HOME, 'evolution', 'calendar', uid);
      fs.mkdirSync(store, { recursive: true });
      fs.writeFileSync(path.join(store, 'calendar.ics'), ics);
    }
  }

  start(command, args) {
    const child = spawn(command, args, { env: this.env, stdio: ['ignore', 'ignore', 'pipe'] });
    child.stderr.resume();
    this.processes.push(child);
    return child;
  }

  async startBus() {
    const result = spawnSync('dbus-daemon', ['--session', '--fork', `--address=${this.env.DBUS_SESSION_BUS_ADDRESS}`, '--print-pid=1'],
      { env: this.env, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'], timeout: READY_TIMEOUT_MS });
    const pid = Number.parseInt(result.stdout, 10);
    if (result.status !== 0 || !Number.isInteger(pid)) throw new Error(`The session bus did not start: ${result.stderr || result.error?.message}`.trim());
    this.busPid = pid;
  }

  async startSound() {
    const conf = path.join(this.env.XDG_CONFIG_HOME, 'pipewire', 'pipewire.conf.d');
    fs.mkdirSync(conf, { recursive: true });
    fs.writeFileSync(path.join(conf, '10-null-sink.conf'), NULL_SINK_CONF);
    const pipewire = this.start('pipewire', []);
    await waitUntil('PipeWire', () => fs.existsSync(path.join(this.env.XDG_RUNTIME_DIR, 'pipewire-0')), [pipewire]);
    const session = [pipewire, this.start('wireplumber', []), this.start('pipewire-pulse', [])];
    await waitUntil('the null sink', () => /Default Sink: main/.test(commandSucceeds('pactl', ['info'], this.env) ?? ''), session);
  }

  // Stops everything started here, newest first; safe to call more than once.
  async stop() {
    if (this.stopped) return;
    this.stopped = true;
    process.removeListener('exit', this.onExit);
    const running = this.processes.filter((p) => p.exitCode === null && p.signalCode === null).reverse();
    const exits = running.map((p) => new Promise((resolve) => p.once('exit', resolve)));
    for (const p of running) p.kill('SIGTERM');
    const grace = sleep(STOP_GRACE_MS).then(() => 'late');
    if ((await Promise.race([Promise.all(exits), grace])) === 'late') {
      for (const p of running) if (p.exitCode === null && p.signalCode === null) p.kill('SIGKILL');
    }
    this.stopBus();
    fs.rmSync(this.folder, { recursive: true, force: true });
  }

  // The synchronous stop at the exit of a process that did not stop these itself.
  stopNow() {
    if (this.stopped) return;
    this.stopped = true;
    for (const p of [...this.processes].reverse()) {
      if (p.exitCode === null && p.signalCode === null) p.kill('SIGKILL');
    }
    this.stopBus();
    fs.rmSync(this.folder, { recursive: true, force: true });
  }

  stopBus() {
    if (this.busPid === null) return;
    // The bus started the calendar services itself; they end when it goes.
    try { process.kill(this.busPid, 'SIGTERM'); } catch { /* already gone */ }
    this.busPid = null;
  }
}

/**
 * Starts the private services in `folder` (removed again by `stop`), with the given
 * calendars seeded for evolution-data-server.
 * @returns {Promise<PrivateDesktop>} its `env` is the environment of their clients
 */
async function startPrivateDesktop(folder, calendars = []) {
  const desktop = new PrivateDesktop(folder);
  try {
    desktop.seedCalendars(calendars);
    await desktop.startBus();
    await desktop.startSound();
    return desktop;
  } catch (error) {
    await desktop.stop();
    throw error;
  }
}

/** Which services of the user's own desktop session answer in `env`. */
function runningDesktop(env = process.env) {
  const runtime = env.XDG_RUNTIME_DIR;
  return {
    sound: Boolean(runtime) && fs.existsSync(path.join(runtime, env.PIPEWIRE_REMOTE ?? 'pipewire-0')),
    sessionBus: Boolean(env.DBUS_SESSION_BUS_ADDRESS),
  };
}

module.exports = { startPrivateDesktop, runningDesktop };
