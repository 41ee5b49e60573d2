// The runner behind every Node.js test command: what it reports and exits
// with decides whether a run passed, so a file that fails or hangs must never
// count as passed, and a hung file must not leave its processes behind.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const RUNNER = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../tools/run-node-tests.sh');
// Long enough for a passing file on a busy machine.
const DEADLINE_S = 5;

const FIXTURES = {
  'pass.test.mjs': `import { test } from 'node:test';
test('passes', () => {});
`,
  'fail.test.mjs': `import { test } from 'node:test';
import assert from 'node:assert';
test('fails', () => assert.equal(1, 2));
`,
  // Starts a process of its own, writes down its id and never finishes.
  'hang.test.mjs': `import { test } from 'node:test';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
test('hangs', async () => {
  const child = spawn('sleep', ['600'], { stdio: 'ignore' });
  fs.writeFileSync(new URL('./hang.pid', import.meta.url), String(child.pid));
  await new Promise(() => setInterval(() => {}, 1000));
});
`,
};

// Running, as opposed to gone or a zombie waiting to be reaped.
function isRunning(pid) {
  try {
    const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
    return stat.slice(stat.lastIndexOf(')') + 2)[0] !== 'Z';
  } catch {
    return false;
  }
}

const CASES = [
  { files: ['pass.test.mjs'], status: 0, lines: ['== pass.test.mjs: passed', 'files: 1 passed, 0 failed'] },
  { files: ['fail.test.mjs'], status: 1, lines: ['== fail.test.mjs: FAILED (exit 1', 'files: 0 passed, 1 failed'] },
  // A failure does not stop the files after it.
  { files: ['fail.test.mjs', 'pass.test.mjs'], status: 1, lines: ['== pass.test.mjs: passed', 'files: 1 passed, 1 failed'] },
  {
    files: ['hang.test.mjs', 'pass.test.mjs'], status: 1,
    lines: [`== hang.test.mjs: FAILED, killed at its deadline of ${DEADLINE_S} s`, 'files: 1 passed, 1 failed'],
  },
];

for (const { files, status, lines } of CASES) {
  test(`${files.join(' ')} -> exit ${status}`, () => {
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-runner-'));
    try {
      for (const file of files) fs.writeFileSync(path.join(work, file), FIXTURES[file]);
      const started = performance.now();
      const run = spawnSync('bash', [RUNNER, String(DEADLINE_S), ...files], { cwd: work, encoding: 'utf8', timeout: 60000 });
      const seconds = (performance.now() - started) / 1000;
      assert.equal(run.status, status, run.stdout + run.stderr);
      const output = run.stdout.split('\n');
      for (const line of lines) assert.ok(output.some((l) => l.startsWith(line)), `no line "${line}" in:\n${run.stdout}`);
      const pidFile = path.join(work, 'hang.pid');
      if (fs.existsSync(pidFile)) {
        assert.ok(seconds < DEADLINE_S + 10, `the hung file ran ${seconds.toFixed(1)} s`);
        assert.equal(isRunning(Number(fs.readFileSync(pidFile, 'utf8'))), false, 'the hung file\'s own process outlived it');
      }
    } finally {
      fs.rmSync(work, { recursive: true, force: true });
    }
  });
}
