#!/usr/bin/env bash
# Long fuzzing: each target runs until RUNS executions or SECONDS seconds, whichever
# comes first, on its corpus in fuzz/corpus/<name>/; a target stops at its first
# crash, leak, timeout or out-of-memory, the others still run, and the run fails. New inputs that add coverage are merged back
# into the corpus, which is then minimised: hand-named files (seeds, regression
# seeds) always stay; hash-named files are the fuzzer's own and are kept only
# while they add coverage.
#
#   fuzz-long.sh BIN_DIR [RUNS] [SECONDS] [TARGET...]
#
# A table of the results (markdown) is written to BIN_DIR/../fuzz-long.md and
# printed at the end. Finding inputs are kept in BIN_DIR/../fuzz-long-findings/.
set -euo pipefail
bin=$1; runs=${2:-10000000}; secs=${3:-1800}
shift $(( $# < 3 ? $# : 3 ))
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "$bin/.." && pwd)
findings=$out/fuzz-long-findings
table=$out/fuzz-long.md
mkdir -p "$findings"

targets=()
if [ $# -gt 0 ]; then
  for t in "$@"; do targets+=("$bin/fuzz_$t"); done
else
  shopt -s nullglob
  targets=("$bin"/fuzz_*)
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz-long: no target in $bin" >&2; exit 2; }

TIMEFORMAT='%3U %3S'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '| target | executions | time (s) | CPU time (s) | exec per CPU s | coverage (features / edges) | corpus files | result |\n' >"$table"
printf '|---|---|---|---|---|---|---|---|\n' >>"$table"
status=0
for f in "${targets[@]}"; do
  [ -x "$f" ] || { echo "fuzz-long: $f is not a built target" >&2; status=2; continue; }
  name=${f##*/fuzz_}
  corpus=$root/fuzz/corpus/$name
  mkdir -p "$corpus"
  rm -rf "$work"/*
  mkdir -p "$work/new" "$work/min"
  log=$work/run.log
  echo "fuzz-long: $name (up to $runs executions or ${secs}s)"
  start=$(date +%s)
  result=ok
  # New inputs go to the scratch folder; the committed corpus is only read here.
  # The run's CPU time is kept too: on a shared machine it, not the wall time,
  # tells how fast the target is.
  set +e
  { time "$f" -runs="$runs" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$name-" \
      "$work/new" "$corpus" >"$log" 2>&1; } 2>"$work/cpu"
  rc=$?
  set -e
  if [ $rc -ne 0 ]; then
    result=$(grep -m1 -oE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer): [a-z-]+' "$log" \
             | sed 's/^ERROR: //' || true)
    result=${result:-"failed (see log)"}
    status=1
    cp "$log" "$findings/$name.log"
    tail -n 60 "$log"
  fi
  elapsed=$(( $(date +%s) - start ))
  execs=$(awk '/^stat::number_of_executed_units:/ {n=$2} END {print n}' "$log")
  cpu=$(awk '{printf "%.1f", $1 + $2}' "$work/cpu")
  rate=$(awk -v e="${execs:-0}" -v c="$cpu" 'BEGIN {printf "%d", (c > 0 ? e / c : 0)}')
  last=$(grep -E '^#[0-9]+' "$log" | tail -n1 || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  if [ "$result" = ok ]; then
    # Named files stay as they are; the fuzzer's hash-named files, old and new,
    # are merged into the smallest set that keeps the coverage.
    mkdir -p "$work/old"
    for s in "$corpus"/*; do
      [ -f "$s" ] || continue
      if [[ ${s##*/} =~ ^[0-9a-f]{40}$ ]]; then cp "$s" "$work/old/"; else cp "$s" "$work/min/"; fi
    done
    if "$f" -merge=1 -timeout=10 "$work/min" "$work/old" "$work/new" >"$work/merge.log" 2>&1; then
      find "$corpus" -maxdepth 1 -type f -delete
      find "$work/min" -maxdepth 1 -type f -exec cp {} "$corpus"/ \;
    else
      echo "fuzz-long: $name: merge failed, corpus left as it was" >&2
      tail -n 20 "$work/merge.log"
      status=1
    fi
  fi
  files=$(find "$corpus" -type f | wc -l)
  printf '| %s | %s | %s | %s | %s | %s / %s | %s | %s |\n' "$name" "${execs:-?}" "$elapsed" "$cpu" "$rate" \
    "${ft:-?}" "${cov:-?}" "$files" "$result" >>"$table"
  [ "$result" = ok ] || echo "fuzz-long: $name: $result; input kept in $findings/" >&2
done
cat "$table"
exit $status
