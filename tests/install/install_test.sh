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

# The sample service, installed from the installed layout and from the build tree:
# every file in place with its mode, the launcher opening the engine beside it, the
# units pointed at the prefix, no temporary file left.
sample() { "$1/share/doc/tqexe-reference-engine/examples/service/install.sh" "${@:2}"; }
check_sample() { # DIR ENGINE
  local d=$1
  [ "$(cd "$d" && ls -A | xargs)" = "tq150vm.so tqsample tqsample.TQL tqsample.TX" ] || fail "sample in $d: $(ls -A "$d" | xargs)"
  for f in tqsample:755 tq150vm.so:755 tqsample.TQL:644 tqsample.TX:644; do
    [ "$(stat -c %a "$d/${f%:*}")" = "${f#*:}" ] || fail "$d/${f%:*} is not mode ${f#*:}"
  done
  cmp -s "$d/tq150vm.so" "$2" || fail "the engine in $d is not $2"
  "$p/bin/tqpack" inspect "$d/tqsample" | grep -q "^outcome: the launcher opens $d/tq150vm.so " ||
    fail "the sample launcher in $d does not open the engine beside it"
}
mkdir "$root/units"
sample "$p" --prefix "$root/svc/" --units "$root/units" >/dev/null || fail "install.sh from the installed layout failed"
check_sample "$root/svc" "$p/$lib/tqexe/engine/tq150vm.so"
for u in tqsample tqsample-user; do
  grep -qx "ExecStart=$root/svc/tqsample --SERVICE tqsample" "$root/units/$u.service" || fail "$u.service not pointed at the prefix"
done
[ "$(ls -A "$root/units" | xargs)" = "tqsample-user.service tqsample.service" ] || fail "unit directory: $(ls -A "$root/units" | xargs)"
# A second install keeps the operator's service choices.
echo "USER=daemon" >>"$root/svc/tqsample.TX"
sample "$p" --prefix "$root/svc" >/dev/null || fail "second install failed"
grep -qx "USER=daemon" "$root/svc/tqsample.TX" || fail "a second install replaced tqsample.TX"
sample "$p" --prefix "$root/with space" --units "$root/units" >/dev/null 2>&1 && fail "a prefix with a space went into ExecStart="

# An engine of the other word size in the plain lib/tqexe/engine, searched first, is
# passed over for the multiarch one; without that one, none fits.
cp -a "$root/all" "$root/ma"
q=$root/ma/opt/tq
mkdir -p "$q/lib/tqexe/engine"
cp "$q/$lib/tqexe/engine/tq150vm.so" "$q/lib/tqexe/engine/tq150vm.so"
[ "$(od -An -tx1 -j4 -N1 "$q/bin/tqexe" | tr -d ' ')" = 01 ] && other='\x02' || other='\x01'
printf "$other" | dd of="$q/lib/tqexe/engine/tq150vm.so" bs=1 seek=4 conv=notrunc status=none
sample "$q" --prefix "$root/svc2" >/dev/null || fail "install.sh with the engine in $lib failed"
check_sample "$root/svc2" "$q/$lib/tqexe/engine/tq150vm.so"
rm "$q/$lib/tqexe/engine/tq150vm.so"
err=$(sample "$q" --prefix "$root/svc3" 2>&1 >/dev/null) && fail "install.sh took an engine of the other word size"
grep -q "no engine for" <<<"$err" || fail "install.sh without a fitting engine said: $err"

# The older form, from the build tree.
bash "$(dirname "$0")/../../examples/service/install.sh" "$build/bin" "$root/svc4" >/dev/null || fail "install.sh BIN_DIR PREFIX failed"
check_sample "$root/svc4" "$build/bin/tq150vm.so"
echo "install_test: ok"
