#!/usr/bin/env bash
# Whole-process comparison of tqzlw with compress/uncompress (ncompress) on
# the deterministic corpus of make_corpus.py. The tools run alternately in
# the same rounds; times are CPU seconds (user + system), which stay
# meaningful on a shared machine, with the median of the rounds kept.
# Decompression is compared with both `uncompress` as the PATH finds it
# (on Debian, gzip's wrapper, which decodes .Z itself) and ncompress's own
# decoder, `compress -d`.
#   compare_zlw.sh BIN_DIR [CORPUS_DIR] [ROUNDS]
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
corpus=${2:-$bin/../corpus}
rounds=${3:-5}
tq=$bin/tqzlw

if ! command -v compress >/dev/null || ! command -v uncompress >/dev/null; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing ncompress for the comparison"
    apt-get install -y ncompress >/dev/null 2>&1 || { apt-get update >/dev/null 2>&1 && apt-get install -y ncompress >/dev/null 2>&1; } || true
  fi
fi
if ! command -v compress >/dev/null; then
  echo "compare_zlw: compress (ncompress) is not available; comparison skipped"
  exit 0
fi
[ -x "$tq" ] || { echo "compare_zlw: $tq is missing"; exit 1; }

python3 "$here/make_corpus.py" "$corpus" 32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TIMEFORMAT='%3U %3S'

# CPU seconds of one run, output thrown away.
cpu() {
  local t
  t=$( { time "$@" >/dev/null 2>/dev/null; } 2>&1 )
  awk -v t="$t" 'BEGIN { split(t, a, " "); printf "%.3f\n", a[1] + a[2] }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-8s %6s %7s | %7s %8s %6s | %7s %8s %6s %8s %6s\n' corpus "ratio" "ratio.Z" \
  "c MB/s" "compress" "x" "d MB/s" "uncomp." "x" "comp.-d" "x"
for name in text binary; do
  f=$corpus/$name.dat
  size=$(stat -c %s "$f")
  "$tq" -c "$f" > "$work/$name.z"
  compress -c "$f" > "$work/$name.Z" || true
  # Both tools must give the input back before their times count.
  "$tq" -d "$work/$name.z" | cmp -s - "$f" || { echo "compare_zlw: tqzlw round trip failed on $name"; exit 1; }
  uncompress -c "$work/$name.Z" | cmp -s - "$f" || { echo "compare_zlw: uncompress round trip failed on $name"; exit 1; }
  : > "$work/tc"; : > "$work/nc"; : > "$work/td"; : > "$work/nd"; : > "$work/ndz"
  for ((i = 0; i < rounds; i++)); do
    cpu "$tq" -c "$f" >> "$work/tc"
    cpu compress -c "$f" >> "$work/nc"
    # Decoding is short and its system time (page faults on the output)
    # varies a lot on a busy machine: three runs per round.
    for ((j = 0; j < 3; j++)); do
      cpu "$tq" -d "$work/$name.z" >> "$work/td"
      cpu uncompress -c "$work/$name.Z" >> "$work/nd"
      cpu compress -d -c "$work/$name.Z" >> "$work/ndz"
    done
  done
  tc=$(median < "$work/tc"); nc=$(median < "$work/nc"); td=$(median < "$work/td"); nd=$(median < "$work/nd")
  ndz=$(median < "$work/ndz")
  awk -v n="$name" -v s="$size" -v z="$(stat -c %s "$work/$name.z")" -v Z="$(stat -c %s "$work/$name.Z")" \
      -v tc="$tc" -v nc="$nc" -v td="$td" -v nd="$nd" -v ndz="$ndz" 'BEGIN {
    m = s / 1e6; e = 0.001
    if (tc < e) tc = e; if (nc < e) nc = e; if (td < e) td = e; if (nd < e) nd = e; if (ndz < e) ndz = e
    printf "%-8s %6.3f %7.3f | %7.1f %8.1f %5.2fx | %7.1f %8.1f %5.2fx %8.1f %5.2fx\n", n, z / s, Z / s,
      m / tc, m / nc, nc / tc, m / td, m / nd, nd / td, m / ndz, ndz / td }'
done
echo "(MB/s of input per CPU second (user + system), median of $rounds alternating rounds, three decodings"
echo " per round; x = how many times faster tqzlw is)"
