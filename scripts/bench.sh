#!/usr/bin/env bash
# Runs every benchmark program of the bench tree, then the dynamic strings' of the
# 32-bit bench tree when given.   bench.sh BIN_DIR [X86_BIN_DIR]
set -euo pipefail
bin=$1
bin32=${2:-}
shopt -s nullglob
for b in "$bin"/bench_*; do
  echo "== ${b##*/}"
  "$b"
done
bash "$(dirname "$0")/../bench/compare_zlw.sh" "$bin"
# The std::string side of the dynamic string benchmark once more, on mimalloc.
mi=$(dpkg -L libmimalloc2.0 2>/dev/null | grep -m1 '/libmimalloc\.so\.2$' || true)
if [ -x "$bin/bench_qsdstr" ] && [ -n "$mi" ]; then
  echo "== bench_qsdstr, std::string with $mi preloaded"
  LD_PRELOAD=$mi "$bin/bench_qsdstr" --benchmark_filter='BM_Std'
fi
if [ -n "$bin32" ] && [ -x "$bin32/bench_qsdstr" ]; then
  echo "== bench_qsdstr, 32-bit tree"
  "$bin32/bench_qsdstr"
fi
