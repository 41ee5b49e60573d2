// Child processes with captured output and an exit promise.
import { spawn, execFile } from 'node:child_process';
import { withDeadline } from './wait.js';

export class ChildProcess {
  constructor(command, args, { cwd, env, name } = {}) {
    this.name = name ?? command;
    this.command = command;
    this.args = args;
    this.stdout = '';
    this.stderr = '';
    this.exitCode = undefined;
    this.signal = undefined;
    this.child = spawn(command, args, { cwd, env, stdio: ['ignore', 'pipe', 'pipe'] });
    this.child.stdout.setEncoding('utf8');
    this.child.stderr.setEncoding('utf8');
    this.child.stdout.on('data', (chunk) => {
      this.stdout += chunk;
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
