#!/usr/bin/env bash
# Runs the sample application through the launcher: tqexe is copied as "hello"
# beside hello.TQL and the reference engine in a temporary directory, then run with
# two arguments. Shows the application's output and the exit status it handed back.
set -euo pipefail
bin=${1:?usage: demo.sh BIN_DIR}
for f in tqexe tq150vm.so examples/hello.TQL; do
  [ -f "$bin/$f" ] || { echo "demo: $bin/$f is missing; build first" >&2; exit 1; }
done
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
exit "$status"
