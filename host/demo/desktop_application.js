'use strict';
// Applications of the road's desktop: each has its own desktop entry and is launched the
// way a desktop launcher does it, so the capture helper finds it by the entry's id and
// records its processes (and their children) alone.
const fs = require('node:fs');
const path = require('node:path');
const { spawn } = require('node:child_process');

function desktopEntry({ name, exec }) {
  return `[Desktop Entry]\nType=Application\nName=${name}\nExec=${exec}\nTerminal=false\n`;
}

class DesktopApplication {
  /**
   * @param {{ id: string, name: string, applicationsFolder: string }} options
   *   id: the desktop entry id (the capture helper's bundle identifier)
   */
  constructor({ id, name, applicationsFolder }) {
    this.id = id;
    this.name = name;
    this.entryPath = path.join(applicationsFolder, `${id}.desktop`);
    this.child = null;
    fs.mkdirSync(applicationsFolder, { recursive: true });
  }

  /**
   * Launches the application: a shell that runs `script` (it plays its sounds through
   * child processes). The launcher's variables name the entry and the launched
   * process, as GLib's launcher sets them.
   */
  launch(script, env) {
    fs.writeFileSync(this.entryPath, desktopEntry({ name: this.name, exec: `sh -c '${script.replaceAll("'", "'\\''")}'` }));
    // The variable must be in the launched process's own environment (what /proc shows),
    // so the shell execs the application's shell in its place with it set.
    this.child = spawn('sh', ['-c', 'GIO_LAUNCHED_DESKTOP_FILE_PID=$$ exec sh -c "$1"', 'sh', script], {
      env: { ...env, GIO_LAUNCHED_DESKTOP_FILE: this.entryPath },
      stdio: ['ignore', 'ignore', 'inherit'],
      // A group of its own, so that quitting ends its players too.
      detached: true,
    });
    this.exited = new Promise((resolve) => this.child.once('exit', (code, signal) => resolve({ code, signal })));
    // Whatever ends this process, the application and its players end with it.
    this.onExit = () => this.killGroup('SIGKILL');
    process.once('exit', this.onExit);
    this.exited.then(() => process.removeListener('exit', this.onExit));
    return this;
  }

  get running() {
    return this.child !== null && this.child.exitCode === null && this.child.signalCode === null;
  }

  /** Quits the application with every process it started. */
  async quit() {
    if (!this.running) return;
    this.killGroup('SIGTERM');
    await this.exited;
  }

  killGroup(signal) {
    try { process.kill(-this.child.pid, signal); } catch { /* already gone */ }
  }
}

module.exports = { DesktopApplication };
