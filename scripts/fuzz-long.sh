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
# FUZZ_LONG_JOBS targets run at once (1 by default): each is one process, so on a
# machine with spare cores the whole run takes that many times less wall time.
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

jobs_max=${FUZZ_LONG_JOBS:-1}
[[ $jobs_max =~ ^[1-9][0-9]*$ ]] || { echo "fuzz-long: FUZZ_LONG_JOBS must be a positive number" >&2; exit 2; }
mkdir -p "$work/rows"

# One target: its row goes to rows/<name>, its exit status (0 ok, 1 finding or
# failed merge) to rows/<name>.status. Each target has a scratch folder of its own.
run_target() {
  local f=$1 name corpus wk log start result rc elapsed execs cpu rate last cov ft files s status=0
  name=${f##*/fuzz_}
  corpus=$root/fuzz/corpus/$name
  wk=$work/$name
  mkdir -p "$corpus" "$wk/new" "$wk/min"
  log=$wk/run.log
  echo "fuzz-long: $name (up to $runs executions or ${secs}s)"
  start=$(date +%s)
  result=ok
  # New inputs go to the scratch folder; the committed corpus is only read here.
  # The run's CPU time is kept too: on a shared machine it, not the wall time,
  # tells how fast the target is.
  set +e
  { time "$f" -runs="$runs" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$name-" \
      "$wk/new" "$corpus" >"$log" 2>&1; } 2>"$wk/cpu"
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
  cpu=$(awk '{printf "%.1f", $1 + $2}' "$wk/cpu")
  rate=$(awk -v e="${execs:-0}" -v c="$cpu" 'BEGIN {printf "%d", (c > 0 ? e / c : 0)}')
  last=$(grep -E '^#[0-9]+' "$log" | tail -n1 || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  if [ "$result" = ok ]; then
    # Named files stay as they are; the fuzzer's hash-named files, old and new,
    # are merged into the smallest set that keeps the coverage.
    mkdir -p "$wk/old"
    for s in "$corpus"/*; do
      [ -f "$s" ] || continue
      if [[ ${s##*/} =~ ^[0-9a-f]{40}$ ]]; then cp "$s" "$wk/old/"; else cp "$s" "$wk/min/"; fi
    done
    if "$f" -merge=1 -timeout=10 "$wk/min" "$wk/old" "$wk/new" >"$wk/merge.log" 2>&1; then
      find "$corpus" -maxdepth 1 -type f -delete
      find "$wk/min" -maxdepth 1 -type f -exec cp {} "$corpus"/ \;
    else
      echo "fuzz-long: $name: merge failed, corpus left as it was" >&2
      tail -n 20 "$wk/merge.log"
      status=1
    fi
  fi
  files=$(find "$corpus" -type f | wc -l)
  printf '| %s | %s | %s | %s | %s | %s / %s | %s | %s |\n' "$name" "${execs:-?}" "$elapsed" "$cpu" "$rate" \
    "${ft:-?}" "${cov:-?}" "$files" "$result" >"$work/rows/$name"
  [ "$result" = ok ] || echo "fuzz-long: $name: $result; input kept in $findings/" >&2
  echo "fuzz-long: $name done: $(cat "$work/rows/$name")"
  echo $status >"$work/rows/$name.status"
  rm -rf "$wk"
}

status=0
names=()
for f in "${targets[@]}"; do
  [ -x "$f" ] || { echo "fuzz-long: $f is not a built target" >&2; status=2; continue; }
  names+=("${f##*/fuzz_}")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n || true; done
  run_target "$f" &
done
wait

printf '| target | executions | time (s) | CPU time (s) | exec per CPU s | coverage (features / edges) | corpus files | result |\n' >"$table"
printf '|---|---|---|---|---|---|---|---|\n' >>"$table"
for name in "${names[@]}"; do
  if [ -f "$work/rows/$name" ]; then cat "$work/rows/$name" >>"$table"; else status=1; fi
  st=$(cat "$work/rows/$name.status" 2>/dev/null || echo 1)
  [ "$st" = 0 ] || status=1
done
cat "$table"
exit $status
