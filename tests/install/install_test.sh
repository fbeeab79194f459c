#!/usr/bin/env bash
# 'make install' of a built tree into a scratch root (DESTDIR): the launcher
# component alone, then everything; the installed tools tell the project's version
# and the installed demo runs from the scratch root.   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1; version=$2
fail() { echo "install_test: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root/one cmake --install "$build" --prefix /opt/tq --component tqexe >/dev/null
for t in tqexe tqpack tqzlw; do [ -x "$root/one/opt/tq/bin/$t" ] || fail "bin/$t not installed"; done
[ -z "$(find "$root/one" -name tq150vm.so)" ] || fail "the launcher component installs the engine"
[ -z "$(find "$root/one" -path '*/share/*')" ] || fail "the launcher component installs the examples"

DESTDIR=$root/all cmake --install "$build" --prefix /opt/tq >/dev/null
p=$root/all/opt/tq
for t in tqpack tqzlw; do
  [ "$("$p/bin/$t" --version)" = "$t $version" ] || fail "$t --version does not tell $version"
done
[ "$(cd "$root/all" && find . -name tq150vm.so)" = ./opt/tq/lib/tqexe/engine/tq150vm.so ] ||
  fail "engine installed elsewhere than lib/tqexe/engine"
[ -z "$(find "$root/all" -path '*ORMELAN*')" ] || fail "something was installed into the common engine directory"
[ -z "$(find "$root/all" -name CMakeLists.txt)" ] || fail "build files installed with the examples"
[ -f "$p/share/tqexe/examples/hello/hello.TQL" ] || fail "examples not installed under share/"
for h in "$(dirname "$0")"/../../include/*.h; do
  [ -e "$h" ] || continue
  [ -f "$p/include/${h##*/}" ] || fail "public header ${h##*/} not installed"
done
out=$("$p/share/tqexe/demo" 2>/dev/null) || fail "the installed demo failed"
[ "$(grep -c 'Hello from the reference engine' <<<"$out")" -eq 2 ] || fail "the installed demo did not run: $out"
echo "install_test: ok"
