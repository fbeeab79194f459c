#!/usr/bin/env bash
# Instructions per operation of the dynamic string benchmark's operations,
# counted by callgrind (repeatable on a loaded machine, unlike times): each
# operation runs N and 2N times and the difference is divided by N, so that
# start-up and the first allocations drop out.
#   qsdstr_instr.sh BIN_DIR [N]
set -euo pipefail
bin=$1
n=${2:-20000}
command -v valgrind >/dev/null || { echo "qsdstr_instr: valgrind is not available"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compte() {  # OP LEN CACHE COUNT -> instructions of the whole run
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$bin/bench_qsdstr" --qsd_count="$1,$2,$3,$4" \
    2>&1 >/dev/null | sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
printf '%-12s %5s %-6s %10s\n' operation bytes cache 'instr/op'
for cas in "copy 16 0" "copy 1000 0" "std_copy 16 0" "std_copy 1000 0" \
            "create 8 0" "create 15 0" "create 16 0" "create 100 0" "create 500 0" "create 1000 0" \
            "create 8 1" "create 15 1" "create 16 1" "create 100 1" "create 500 1" "create 1000 1" \
            "create 16 2" "create 100 2" "create 1000 2" \
            "std_create 8 0" "std_create 15 0" "std_create 16 0" "std_create 100 0" "std_create 500 0" "std_create 1000 0"; do
  set -- $cas
  a=$(compte "$1" "$2" "$3" "$n")
  b=$(compte "$1" "$2" "$3" $((2 * n)))
  printf '%-12s %5s %-6s %10.1f\n' "$1" "$2" "$3" "$(echo "($b - $a) / $n" | bc -l)"
done
