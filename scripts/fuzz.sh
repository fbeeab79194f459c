#!/usr/bin/env bash
# Runs every fuzz target for a few seconds on its corpus (fuzz/corpus/<name>).
set -euo pipefail
bin=$1; secs=${2:-10}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
status=0
for f in "$bin"/fuzz_*; do
  name=${f##*/fuzz_}
  corpus=$root/fuzz/corpus/$name
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  echo "fuzz: $name (${secs}s)"
  if ! "$f" -max_total_time="$secs" -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    tail -n 40 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
