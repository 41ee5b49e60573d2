// Child processes with captured output and an exit promise.
import { spawn, execFile, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { withDeadline } from './wait.js';

// A pipe that nobody ever reads, as some hosts give a plugin for its
// standard output: a FIFO opened for reading and writing (which Linux
// allows without waiting for a peer), then unlinked. Once the kernel's pipe
// buffer is full, every write to it blocks.
function unreadPipe() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-unread-'));
  const fifo = path.join(folder, 'stdout');
  try {
    execFileSync('mkfifo', [fifo]);
    return fs.openSync(fifo, 'r+');
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

export class ChildProcess {
  // `stdout: 'unread'` gives the process a standard output that fills up
  // and is never read; `this.stdout` then stays empty.
  constructor(command, args, { cwd, env, name, stdout = 'read' } = {}) {
    this.name = name ?? command;
    this.command = command;
    this.args = args;
    this.stdout = '';
    this.stderr = '';
    this.exitCode = undefined;
    this.signal = undefined;
    const out = stdout === 'unread' ? unreadPipe() : 'pipe';
    try {
      this.child = spawn(command, args, { cwd, env, stdio: ['ignore', out, 'pipe'] });
    } finally {
      // The child holds its own copy, with the read end in it, so its
      // writes block rather than fail.
      if (typeof out === 'number') fs.closeSync(out);
    }
    this.child.stderr.setEncoding('utf8');
    this.child.stdout?.setEncoding('utf8');
    this.child.stdout?.on('data', (chunk) => {
      this.stdout += chunk;
    });
    // When the process itself ended, before its output is drained.
    this.child.on('exit', () => {
      this.exitTime = performance.now();
    });
    this.child.stderr.on('data', (chunk) => {
      this.stderr += chunk;
    });
    this.exited = new Promise((resolve) => {
      let settled = false;
      const done = (code, signal) => {
        if (settled) return;
        settled = true;
        this.exitCode = code;
        this.signal = signal;
        resolve({ code, signal });
      };
      this.child.on('error', (error) => {
        this.stderr += `\n${this.name}: ${error.message}`;
        done(null, 'spawn-error');
      });
      // 'close' rather than 'exit': all output has been read by then.
      this.child.on('close', done);
    });
  }

  get pid() {
    return this.child.pid;
  }

  get running() {
    return this.exitCode === undefined && this.signal === undefined;
  }

  // The most resident memory the process has had so far (VmHWM), in bytes.
  // Linux only, and only while the process runs.
  peakResidentBytes() {
    const status = fs.readFileSync(`/proc/${this.pid}/status`, 'utf8');
    const kib = /^VmHWM:\s+(\d+) kB$/m.exec(status);
    if (!kib) throw new Error(`no VmHWM in /proc/${this.pid}/status`);
    return Number(kib[1]) * 1024;
  }

  waitForExit(timeoutMs) {
    return withDeadline(this.exited, timeoutMs, `${this.name} to exit`);
  }

  // Asks politely, then forcefully, always with a deadline.
  async stop(timeoutMs = 3000) {
    if (!this.running) return this.exited;
    this.child.kill('SIGTERM');
    try {
      return await withDeadline(this.exited, timeoutMs, `${this.name} to end`);
    } catch {
      this.child.kill('SIGKILL');
      return withDeadline(this.exited, timeoutMs, `${this.name} to be killed`);
    }
  }
}

// Runs a command to completion within a deadline and returns its output.
export function run(command, args, { env, cwd, timeoutMs = 10000 } = {}) {
  return new Promise((resolve, reject) => {
    execFile(command, args, { env, cwd, timeout: timeoutMs, killSignal: 'SIGKILL', maxBuffer: 16 << 20 },
      (error, stdout, stderr) => {
        if (error) {
          error.message += stderr ? `\n${stderr}` : '';
          reject(error);
        } else {
          resolve({ stdout, stderr });
        }
      });
  });
}
