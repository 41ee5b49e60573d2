#!/usr/bin/env bash
# Runs node:test files one after the other, each as `node --test FILE` with a
# deadline after which it is killed and counted as failed. Node.js 18's test
# runner has neither a timeout nor a concurrency option on its command line,
# so the deadline and the order are kept here.
#
#   tools/run-node-tests.sh SECONDS FILE...
#
# Exits non-zero when any file failed or ran out of time.
set -uo pipefail
if (($# < 2)) || ! [[ "$1" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 SECONDS FILE..." >&2
  exit 2
fi
deadline="$1"
shift
# Inherited from a test runner above, this makes `node --test` skip its
# files and pass.
unset NODE_TEST_CONTEXT

# timeout runs each file in a process group of its own and ends the whole
# group, the files' own child processes included; an interrupt of this
# script is passed on to that group.
running=""
trap '[ -z "$running" ] || kill -TERM "$running" 2>/dev/null; exit 130' INT TERM

passed=0
failed=()
for file in "$@"; do
  started=$SECONDS
  timeout --kill-after=10 "$deadline" node --test "$file" &
  running=$!
  wait "$running"
  status=$?
  running=""
  took=$((SECONDS - started))
  if ((status == 0)); then
    passed=$((passed + 1))
    echo "== $file: passed (${took} s)"
  elif ((status == 124 || (status == 137 && took >= deadline))); then
    failed+=("$file")
    echo "== $file: FAILED, killed at its deadline of ${deadline} s"
  else
    failed+=("$file")
    echo "== $file: FAILED (exit $status, ${took} s)"
  fi
done

echo "files: $passed passed, ${#failed[@]} failed"
((${#failed[@]} == 0))
