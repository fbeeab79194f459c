#!/usr/bin/env bash
# Runs every benchmark program of the bench tree.
set -euo pipefail
bin=$1
shopt -s nullglob
for b in "$bin"/bench_*; do
  echo "== ${b##*/}"
  "$b"
done
bash "$(dirname "$0")/../bench/compare_zlw.sh" "$bin"
