#!/usr/bin/env bash
# Installs the sample service: a launcher stamped for the application "tqsample",
# the engine, the application script and the runtime parameter file, in PREFIX
# (default /opt/tqsample). Then start it with systemd or start-stop-daemon (see the
# README section "Running an application as a service").
set -euo pipefail
bin=${1:?usage: install.sh BIN_DIR [PREFIX]}
prefix=${2:-/opt/tqsample}
here=$(cd "$(dirname "$0")" && pwd)
for f in tqexe tq150vm.so tqpack; do
  [ -f "$bin/$f" ] || { echo "install.sh: $bin/$f is missing; build first" >&2; exit 1; }
done
mkdir -p "$prefix"
# The launcher under the application's name: it hands the engine tqsample.TQL.
"$bin/tqpack" stamp "$bin/tqexe" "$prefix/tqsample" --project tqsample --data-dir "$prefix" >/dev/null
cp "$bin/tq150vm.so" "$here/tqsample.TQL" "$prefix/"
# Service choices: uncomment USER to run the application as that user.
if [ ! -f "$prefix/tqsample.TX" ]; then
  cat >"$prefix/tqsample.TX" <<'TX'
[SERVICE]
;USER=nobody
;CORE=1
TX
fi
chmod 755 "$prefix" "$prefix/tqsample"
chmod 755 "$prefix/tq150vm.so"
chmod 644 "$prefix/tqsample.TQL" "$prefix/tqsample.TX"
echo "installed in $prefix"
