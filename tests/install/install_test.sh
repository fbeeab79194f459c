#!/usr/bin/env bash
# 'make install' of a built tree into a scratch root (DESTDIR): the launcher
# component alone, then everything; the installed tools tell the project's version
# and the installed demo runs from the scratch root.   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1; version=$2
# Libraries go to the multiarch folder of the tree's architecture.
case $(file -bL "$build/bin/tqexe") in
  *64-bit*) lib=lib/x86_64-linux-gnu ;;
  *) lib=lib/i386-linux-gnu ;;
esac
fail() { echo "install_test: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root/one cmake --install "$build" --prefix /opt/tq --component tqexe >/dev/null
for t in tqexe tqpack tqzlw; do [ -x "$root/one/opt/tq/bin/$t" ] || fail "bin/$t not installed"; done
[ -z "$(find "$root/one" -name tq150vm.so)" ] || fail "the launcher component installs the engine"
[ -z "$(find "$root/one" -path '*/examples/*')" ] || fail "the launcher component installs the examples"
[ -z "$(find "$root/one" -name 'libtqhost*')" ] || fail "the launcher component installs the host libraries"
for m in tqexe tqpack tqzlw; do
  [ -f "$root/one/opt/tq/share/man/man1/$m.1.gz" ] || fail "manual page $m.1 not installed"
done

DESTDIR=$root/all cmake --install "$build" --prefix /opt/tq >/dev/null
p=$root/all/opt/tq
for t in tqpack tqzlw; do
  [ "$("$p/bin/$t" --version)" = "$t $version" ] || fail "$t --version does not tell $version"
done
[ "$(cd "$root/all" && find . -name tq150vm.so)" = "./opt/tq/$lib/tqexe/engine/tq150vm.so" ] ||
  fail "engine installed elsewhere than $lib/tqexe/engine"
for f in libtqhost.so.1 libtqhost.so libtqhost.a pkgconfig/tqhost.pc cmake/tqhost/tqhostConfig.cmake; do
  [ -e "$p/$lib/$f" ] || fail "$lib/$f not installed"
done
# tqhost.pc names the prefix installed under, whatever the tree was configured for.
grep -qx 'prefix=/opt/tq' "$p/$lib/pkgconfig/tqhost.pc" || fail "tqhost.pc does not name the prefix /opt/tq"
[ -z "$(find "$root/all" -path '*ORMELAN*')" ] || fail "something was installed into the common engine directory"
[ -z "$(find "$root/all" -name CMakeLists.txt)" ] || fail "build files installed with the examples"
[ -f "$p/share/doc/tqexe-reference-engine/examples/hello/hello.TQL" ] || fail "examples not installed under share/doc/"
for h in "$(dirname "$0")"/../../include/*.h; do
  [ -e "$h" ] || continue
  [ -f "$p/include/${h##*/}" ] || fail "public header ${h##*/} not installed"
done
out=$("$p/share/tqexe/demo" 2>/dev/null) || fail "the installed demo failed"
[ "$(grep -c 'Hello from the reference engine' <<<"$out")" -eq 2 ] || fail "the installed demo did not run: $out"
echo "install_test: ok"
