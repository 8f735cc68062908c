// A UCI engine as a child process: lines in, lines out, and a wait for the first line that
// passes a test. The referee's match engines, the blunder finder's oracle and its replay
// engines are all built on this.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

// Splits an engine command into program and arguments. A command that names an existing file
// is run as it is (so a path may contain spaces); anything else is a command line split at
// spaces ("node fake_engine.js slow"). Every part that names an existing file is made
// absolute, so the engine can run in a working directory of its own.
function splitCommand(command, baseDir = process.cwd()) {
  const absolute = (p) => (fs.existsSync(path.resolve(baseDir, p)) ? path.resolve(baseDir, p) : p);
  if (fs.existsSync(path.resolve(baseDir, command))) return [path.resolve(baseDir, command)];
  return command.split(/\s+/).filter(Boolean).map(absolute);
}

class UciProcess {
  // options: { cwd, onLine(line, time), onSend(line) } -- the hooks see every line first.
  constructor(command, options = {}) {
    this.command = command;
    this.cwd = options.cwd || process.cwd();
    this.hooks = options;
    this.proc = null;
    this.pid = null;
    this.alive = false;
    this.waiter = null;  // { test, resolve, timer }
    this.exitInfo = null;
  }

  start() {
    const [program, ...programArgs] = splitCommand(this.command);
    const proc = spawn(program, programArgs, { stdio: ['pipe', 'pipe', 'ignore'], cwd: this.cwd });
    this.proc = proc;
    this.pid = proc.pid;
    this.alive = true;
    this.exitInfo = null;
    let pending = '';
    proc.stdout.setEncoding('utf8');
    proc.stdout.on('data', (chunk) => {
      // Late output of a process that has been replaced belongs to nobody.
      if (proc !== this.proc) return;
      const now = process.hrtime.bigint();
      pending += chunk;
      let nl;
      while ((nl = pending.indexOf('\n')) >= 0) {
        const line = pending.slice(0, nl).replace(/\r$/, '');
        pending = pending.slice(nl + 1);
        if (this.hooks.onLine) this.hooks.onLine(line, now);
        this.deliver(line, now);
      }
    });
    // A write to a process that has gone away must not bring the caller down.
    proc.stdin.on('error', () => {});
    proc.on('error', (err) => proc === this.proc && this.onExit(null, null, err.message));
    proc.on('exit', (code, signal) => proc === this.proc && this.onExit(code, signal, null));
  }

  // Hands a line to the waiter if it is the one waited for. Subclasses may filter first.
  deliver(line, time) {
    if (this.waiter && this.waiter.test(line)) {
      const w = this.waiter;
      this.waiter = null;
      clearTimeout(w.timer);
      w.resolve({ line, time });
    }
  }

  onExit(code, signal, error) {
    if (!this.alive) return;
    this.alive = false;
    this.exitInfo = error ? `could not run: ${error}` : signal ? `killed by ${signal}` : `exit code ${code}`;
    if (this.waiter) {
      const w = this.waiter;
      this.waiter = null;
      clearTimeout(w.timer);
      w.resolve({ exited: true });
    }
  }

  send(line) {
    if (this.hooks.onSend) this.hooks.onSend(line);
    if (this.alive) this.proc.stdin.write(line + '\n');
  }

  // Resolves with { line, time } for the first line that passes `test`, { timeout: true } after
  // `ms` milliseconds, or { exited: true } when the process ends first.
  waitFor(test, ms) {
    if (!this.alive) return Promise.resolve({ exited: true });
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        this.waiter = null;
        resolve({ timeout: true });
      }, ms);
      this.waiter = { test, resolve, timer };
    });
  }

  describeFailure(r) {
    return r.exited ? this.exitInfo || 'exited' : 'no reply in time';
  }

  async stop() {
    if (!this.alive) return;
    this.send('quit');
    const r = await this.waitFor(() => false, 2000);
    if (!r.exited && this.alive) this.kill();
  }

  // Ends a hung process at once; it counts as gone from now on.
  kill() {
    if (!this.proc || !this.alive) return;
    this.proc.kill('SIGKILL');
    this.onExit(null, 'SIGKILL', null);
  }
}

module.exports = { UciProcess, splitCommand };
