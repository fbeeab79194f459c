#!/usr/bin/env bash
# Runs the sample application through the launcher: tqexe is copied as "hello"
# beside hello.TQL and the reference engine in a temporary directory, then run with
# two arguments. Shows the application's output and the exit status it handed back.
# Then runs it again as a single-file application (the script carried inside the
# launcher, no hello.TQL beside it).
set -euo pipefail
bin=${1:?usage: demo.sh BIN_DIR}
for f in tqexe tq150vm.so examples/hello.TQL; do
  [ -f "$bin/$f" ] || { echo "demo: $bin/$f is missing; build first" >&2; exit 1; }
done
bin=$(cd "$bin" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/tqexe" "$work/hello"
cp "$bin/tq150vm.so" "$bin/examples/hello.TQL" "$work/"
cd "$work"
echo "\$ ./hello \"first argument\" second"
set +e
./hello "first argument" second
status=$?
set -e
echo "exit status: $status"

# The same application as a single file: tqpack embeds hello.TQL in a copy of the
# launcher and stamps its offset, so nothing but the engine stands beside it.
if [ -x "$bin/tqpack" ]; then
  mkdir single
  cp "$bin/tq150vm.so" single/
  "$bin/tqpack" embed "$bin/tqexe" single/hello "$bin/examples/hello.TQL" --application >/dev/null
  echo
  echo "single-file application: $(cd single && echo *)"
  echo "\$ ./hello \"first argument\" second"
  set +e
  (cd single && ./hello "first argument" second)
  single=$?
  set -e
  echo "exit status: $single"
  [ "$status" -ne 0 ] || status=$single
fi

# A host program driving an application through the call interface (tqhost.h):
# host_calc calls the procedure Add of calc.TQL with two arguments, then its
# multi-threaded twin calls it from four threads, each with its own context.
if [ -x "$bin/host_calc" ] && [ -x "$bin/host_calc_mt" ]; then
  mkdir host
  cp "$bin/tq150vm.so" "$bin/examples/calc.TQL" host/
  echo
  echo "\$ host_calc ./tq150vm.so calc.TQL Add 40 2"
  set +e
  (cd host && "$bin/host_calc" ./tq150vm.so calc.TQL Add 40 2)
  hoststatus=$?
  echo "\$ host_calc ./tq150vm.so calc.TQL Divide 1 0"
  (cd host && "$bin/host_calc" ./tq150vm.so calc.TQL Divide 1 0)
  echo "exit status: $?"
  echo "\$ host_calc_mt ./tq150vm.so calc.TQL 4 200"
  (cd host && "$bin/host_calc_mt" ./tq150vm.so calc.TQL 4 200)
  mtstatus=$?
  set -e
  [ "$status" -ne 0 ] || status=$hoststatus
  [ "$status" -ne 0 ] || status=$mtstatus
fi
exit "$status"
