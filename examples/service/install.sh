#!/usr/bin/env bash
# Installs the sample service: a launcher stamped for the application "tqsample",
# the engine, the application script and the runtime parameter file, in PREFIX
# (default /opt/tqsample); with --units, the two systemd units as well, pointed at
# PREFIX. Then start it with systemd or start-stop-daemon (see the README section
# "Running an application as a service").
#
#   install.sh BIN_DIR [PREFIX]                      from a build tree (build/x64/bin)
#   install.sh [--from BIN_DIR] [--prefix PREFIX] [--units UNIT_DIR]
#
# Without BIN_DIR the launcher, tqpack and the engine come from the installation this
# script belongs to (PREFIX/share/doc/<package>/examples/service/install.sh): the tools
# in bin/, the engine in lib/tqexe/engine or lib/<multiarch>/tqexe/engine.
set -euo pipefail
usage() { echo "usage: install.sh BIN_DIR [PREFIX] | [--from BIN_DIR] [--prefix PREFIX] [--units UNIT_DIR]" >&2; exit 2; }
fail() { echo "install.sh: $*" >&2; exit 1; }

bin= prefix=/opt/tqsample units=
positional=()
while [ $# -gt 0 ]; do
  case $1 in
    --from) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
    --prefix) [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
    --units) [ $# -ge 2 ] || usage; units=$2; shift 2 ;;
    -h|--help) usage ;;
    -*) usage ;;
    *) positional+=("$1"); shift ;;
  esac
done
[ ${#positional[@]} -le 2 ] || usage
[ ${#positional[@]} -ge 1 ] && bin=${positional[0]}
[ ${#positional[@]} -ge 2 ] && prefix=${positional[1]}
case $prefix in /*) ;; *) fail "PREFIX must be absolute: $prefix" ;; esac
while [ "${prefix%/}" != "$prefix" ] && [ "$prefix" != / ]; do prefix=${prefix%/}; done
here=$(cd "$(dirname "$0")" && pwd)

# ELF class, byte order and machine: a launcher loads only an engine that matches.
elf_kind() { od -An -tx1 -j4 -N2 "$1" 2>/dev/null | tr -d ' \n'; od -An -tx1 -j18 -N2 "$1" 2>/dev/null | tr -d ' \n'; }

if [ -n "$bin" ]; then
  for f in tqexe tq150vm.so tqpack; do
    [ -f "$bin/$f" ] || fail "$bin/$f is missing; build first"
  done
  tqexe=$bin/tqexe tqpack=$bin/tqpack engine=$bin/tq150vm.so
else
  # here lies below the installed prefix (PREFIX/share/doc/<package>/examples/service):
  # the prefix is the nearest folder above it with bin/tqexe.
  root=$(dirname "$here")
  while [ "$root" != / ] && [ ! -x "$root/bin/tqexe" ]; do root=$(dirname "$root"); done
  tqexe=$root/bin/tqexe tqpack=$root/bin/tqpack
  [ -x "$tqexe" ] && [ -x "$tqpack" ] ||
    fail "no launcher and tqpack in $root/bin: give the build tree's bin directory (install.sh BIN_DIR)"
  engine=
  want=$(elf_kind "$tqexe")
  for e in "$root"/lib/tqexe/engine/tq150vm.so "$root"/lib/*/tqexe/engine/tq150vm.so "$root"/lib64/tqexe/engine/tq150vm.so; do
    if [ -f "$e" ] && [ "$(elf_kind "$e")" = "$want" ]; then engine=$e; break; fi
  done
  [ -n "$engine" ] || fail "no engine for $tqexe in $root/lib/tqexe/engine or $root/lib/<multiarch>/tqexe/engine"
fi
if [ -n "$units" ]; then
  # The path goes unquoted into ExecStart=.
  [[ $prefix =~ ^/[A-Za-z0-9._/+-]+$ ]] || fail "PREFIX unfit for a unit's ExecStart=: $prefix"
  [ -d "$units" ] || fail "no unit directory $units"
fi

# Every file is written beside its target and renamed over it: a running service
# keeps its files whole, and an interrupted install leaves no half-written one.
tmps=()
trap 'rm -f "${tmps[@]}"' EXIT
trap 'exit 130' INT TERM HUP
put() { # put SOURCE TARGET MODE
  local t
  t=$(mktemp "$2.XXXXXX")
  tmps+=("$t")
  cat "$1" >"$t"
  chmod "$3" "$t"
  mv -f "$t" "$2"
}

mkdir -p "$prefix"
chmod 755 "$prefix"
# The launcher under the application's name: it hands the engine tqsample.TQL.
"$tqpack" stamp "$tqexe" "$prefix/tqsample" --project tqsample --data-dir "$prefix" >/dev/null
chmod 755 "$prefix/tqsample"
put "$engine" "$prefix/tq150vm.so" 755
put "$here/tqsample.TQL" "$prefix/tqsample.TQL" 644
# Service choices: uncomment USER to run the application as that user (started by
# root: tqsample.service), DIRECTORY to hand it that directory. Kept when present.
if [ ! -f "$prefix/tqsample.TX" ]; then
  put <(printf '%s\n' '[SERVICE]' ';USER=nobody' ';DIRECTORY=/var/lib/tqsample' ';CORE=1') "$prefix/tqsample.TX" 644
fi
if [ -n "$units" ]; then
  for u in tqsample.service tqsample-user.service; do
    put <(sed "s#/opt/tqsample/#$prefix/#g" "$here/$u") "$units/$u" 644
  done
  echo "units tqsample.service and tqsample-user.service installed in $units (then: systemctl daemon-reload)"
  getent passwd tqsample >/dev/null ||
    echo "tqsample-user.service runs as the user tqsample: useradd --system --no-create-home --shell /usr/sbin/nologin tqsample"
fi
echo "installed in $prefix"
