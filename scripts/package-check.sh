#!/usr/bin/env bash
# Checks the Debian packages in PKG_DIR: installs them with dpkg into a scratch
# root, checks what landed where and what they depend on, and runs the installed
# demo from there.   package-check.sh PKG_DIR [VERSION]
set -euo pipefail
pkgs=$(cd "${1:?usage: package-check.sh PKG_DIR [VERSION]}" && pwd)
version=${2:-}
fail() { echo "package-check: $*" >&2; exit 1; }
shopt -s nullglob
main=("$pkgs"/tqexe_*.deb)
engine=("$pkgs"/tqexe-reference-engine_*.deb)
[ ${#main[@]} -eq 1 ] && [ ${#engine[@]} -eq 1 ] || fail "expected one tqexe and one tqexe-reference-engine package in $pkgs"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
# The scratch root has no system packages: what the packages depend on is
# checked below against what their programs link, not by dpkg here. A package of
# the 32-bit tree may be foreign to this machine.
dpkg --root="$root" --force-depends --force-architecture --force-script-chrootless \
  -i "${main[0]}" "${engine[0]}" >"$root.log" 2>&1 || { cat "$root.log" >&2; rm -f "$root.log"; fail "dpkg refused the packages"; }
rm -f "$root.log"

for f in usr/bin/tqexe usr/bin/tqpack usr/bin/tqzlw usr/share/tqexe/demo usr/share/tqexe/examples/hello/hello.TQL; do
  [ -e "$root/$f" ] || fail "$f is not installed"
done
engine_so=$(cd "$root" && find . -name tq150vm.so)
[ "$engine_so" = ./usr/lib/tqexe/engine/tq150vm.so ] || fail "reference engine installed as '$engine_so'"
dpkg-deb -c "${main[0]}" | grep -q tq150vm.so && fail "the launcher package carries the engine"
if [ -n "$version" ]; then
  for t in tqpack tqzlw; do
    [ "$("$root/usr/bin/$t" --version)" = "$t $version" ] || fail "$t --version does not tell $version"
  done
fi

# Depends: exactly the packages that own the libraries the programs link (when
# this machine can tell: a package of its own architecture whose libraries dpkg
# knows), and the engine package needs the launcher.
depends() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed -E 's/^ +//; s/ .*//; s/:.*//' | grep -v '^$' | sort -u; }
linked() {
  for b in "$@"; do ldd "$b" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// {print $3}'; done | sort -u |
    while read -r lib; do dpkg -S "$(realpath "$lib")" 2>/dev/null || dpkg -S "$lib" 2>/dev/null || echo "?:"; done |
    cut -d: -f1 | sort -u
}
want=$(linked "$root"/usr/bin/*)
if [ "$(dpkg-deb -f "${main[0]}" Architecture)" = "$(dpkg --print-architecture)" ] && ! grep -q '^?$' <<<"$want"; then
  [ "$(depends "${main[0]}")" = "$want" ] || fail "tqexe depends on '$(depends "${main[0]}" | xargs)', links '$(xargs <<<"$want")'"
fi
depends "${engine[0]}" | grep -qx tqexe || fail "tqexe-reference-engine does not depend on tqexe"

out=$("$root/usr/share/tqexe/demo" 2>/dev/null) || fail "the installed demo failed"
[ "$(grep -c 'Hello from the reference engine' <<<"$out")" -eq 2 ] || fail "the installed demo did not run both applications: $out"
echo "package-check: ok ($(basename "${main[0]}"), $(basename "${engine[0]}"))"
