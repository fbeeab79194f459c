#!/usr/bin/env bash
# Soak test of service mode (not part of make test): in a private mount namespace
# with its own /run, starts and stops the sample service CYCLES times, checking each
# time that the start reports success, the pid file names a live daemon, SIGTERM
# ends it, the pid file goes and no process is left; then, with one instance
# running, makes ATTEMPTS second starts that must all be refused. Prints the figures.
# Needs root. Usage: scripts/service_soak.sh BIN_DIR [CYCLES] [ATTEMPTS]
set -euo pipefail
bin=${1:?usage: service_soak.sh BIN_DIR [CYCLES] [ATTEMPTS]}
cycles=${2:-100}
attempts=${3:-100}
bin=$(cd "$bin" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "service_soak: needs root" >&2; exit 1; }
if [ -z "${TQ_SOAK_NS:-}" ]; then
  exec unshare --mount --propagation private env TQ_SOAK_NS=1 bash "$0" "$bin" "$cycles" "$attempts"
fi

work=$(mktemp -d)
trap 'umount /run 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/run" "$work/app"
mount --bind "$work/run" /run
cp "$bin/tqexe" "$work/app/tqsample"
cp "$bin/tq150vm.so" "$work/app/"
printf 'wait_stop\n' >"$work/app/tqsample.TQL"
exe=$work/app/tqsample
pidfile=/run/tqsample.pid

now_ms() { date +%s%3N; }
# True while a process runs (a zombie waiting for its new parent to reap it has ended).
running() {
  local state
  state=$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null || true)
  [ -n "$state" ] && [ "$state" != Z ]
}
# Waits up to 10 s for a process to end.
wait_gone() {
  local i
  for i in $(seq 1000); do running "$1" || return 0; sleep 0.01; done
  return 1
}
# Processes still running our launcher.
leftovers() {
  local p n=0
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$exe" ] && running "${p#/proc/}" && n=$((n + 1))
  done
  echo "$n"
}

fail=0
start_ms=$(now_ms)
for i in $(seq "$cycles"); do
  if ! "$exe" --SERVICE tqsample; then echo "cycle $i: start failed" >&2; fail=$((fail + 1)); continue; fi
  pid=$(cat "$pidfile" 2>/dev/null || true)
  if [ -z "$pid" ] || ! running "$pid"; then echo "cycle $i: no live daemon in $pidfile" >&2; fail=$((fail + 1)); continue; fi
  kill -TERM "$pid"
  wait_gone "$pid" || { echo "cycle $i: daemon $pid did not end" >&2; fail=$((fail + 1)); kill -KILL "$pid" || true; }
  [ ! -e "$pidfile" ] || { echo "cycle $i: stale $pidfile" >&2; fail=$((fail + 1)); }
done
cycle_ms=$(( $(now_ms) - start_ms ))
left=$(leftovers)
echo "start/stop cycles: $cycles, failures: $fail, leftover processes: $left, total ${cycle_ms} ms, $((cycle_ms / cycles)) ms a cycle"

"$exe" --SERVICE tqsample
first=$(cat "$pidfile")
refused=0
start_ms=$(now_ms)
for i in $(seq "$attempts"); do
  if "$exe" --SERVICE tqsample 2>/dev/null; then echo "attempt $i: a second instance started" >&2; else refused=$((refused + 1)); fi
done
attempt_ms=$(( $(now_ms) - start_ms ))
intact=no
[ "$(cat "$pidfile")" = "$first" ] && running "$first" && intact=yes
kill -TERM "$first"
wait_gone "$first" || kill -KILL "$first"
echo "second instances: $attempts attempts, $refused refused, first instance intact: $intact, $((attempt_ms / attempts)) ms an attempt"
left=$(leftovers)
echo "leftover processes at the end: $left"
[ "$fail" -eq 0 ] && [ "$refused" -eq "$attempts" ] && [ "$intact" = yes ] && [ "$left" -eq 0 ]
