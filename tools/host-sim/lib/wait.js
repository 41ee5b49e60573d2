// Waiting helpers. Every wait has a deadline; nothing here sleeps to let
// something "probably" happen.

export class TimeoutError extends Error {}

// Polls `check` until it returns a value other than undefined/false/null and
// resolves with that value; rejects once `timeoutMs` has passed.
export async function waitFor(check, { timeoutMs, intervalMs = 10, what = 'a condition' } = {}) {
  if (!(timeoutMs > 0)) throw new Error('waitFor needs a positive timeoutMs');
  const deadline = performance.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value !== undefined && value !== false && value !== null) return value;
    if (performance.now() >= deadline) throw new TimeoutError(`timed out after ${timeoutMs} ms waiting for ${what}`);
    await delay(Math.min(intervalMs, Math.max(1, deadline - performance.now())));
  }
}

// Rejects when `promise` has not settled within `timeoutMs`.
export function withDeadline(promise, timeoutMs, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new TimeoutError(`timed out after ${timeoutMs} ms waiting for ${what}`)), timeoutMs);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// A timer, for holding a key or a settle window of a known length; callers
// use it to shape what they send, never to wait for the plugin.
export function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

export function median(values) {
  if (values.length === 0) return NaN;
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}
