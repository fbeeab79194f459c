#!/usr/bin/env bash
# Checks the Debian packages of one tree in PKG_DIR: lintian over all of them,
# then installs them with dpkg into a scratch root, checks what landed where and
# what they depend on, builds the sample host programs there with pkg-config and
# CMake's find_package(tqhost) and runs them, and runs the installed demo. With
# OTHER_DIR (the other architecture's packages) its library and development
# packages go into the same root and a host is built and run for it too.
#   package-check.sh PKG_DIR [VERSION [OTHER_DIR]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pkgs=$(cd "${1:?usage: package-check.sh PKG_DIR [VERSION [OTHER_DIR]]}" && pwd)
version=${2:-}
other=${3:+$(cd "$3" && pwd)}
fail() { echo "package-check: $*" >&2; exit 1; }
shopt -s nullglob
names=(tqexe tqexe-reference-engine libtqhost1 libtqhost-dev)
# one NAME DIR: the single .deb of package NAME in DIR.
one() {
  local f=("$2/$1"_*.deb)
  [ ${#f[@]} -eq 1 ] || fail "expected one $1 package in $2, found ${#f[@]}"
  echo "${f[0]}"
}
for n in "${names[@]}"; do one "$n" "$pkgs" >/dev/null; done
arch=$(dpkg-deb -f "$(one tqexe "$pkgs")" Architecture)
triplet() { case $1 in amd64) echo x86_64-linux-gnu ;; i386) echo i386-linux-gnu ;; *) fail "unknown architecture $1" ;; esac; }

# Debian's checks: no error, and every warning either fixed or overridden in the
# package with its reason.
command -v lintian >/dev/null || fail "lintian is missing: run scripts/bootstrap.sh as root"
debs=("$pkgs"/*.deb "$pkgs"/*.ddeb)
lintian --fail-on error,warning "${debs[@]}" >"$pkgs/lintian.log" 2>&1 ||
  { cat "$pkgs/lintian.log" >&2; fail "lintian found errors or warnings"; }

root=$(mktemp -d)
trap 'rm -rf "$root" "$root.log" "$root.side"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root.side"
: >"$root/var/lib/dpkg/status"
dpkg --root="$root" --add-architecture i386
# The scratch root has no system packages: what the packages depend on is
# checked below against what their programs link, not by dpkg here.
install_debs() {
  dpkg --root="$root" --force-depends --force-script-chrootless -i "$@" >"$root.log" 2>&1 ||
    { cat "$root.log" >&2; fail "dpkg refused $*"; }
}
install_debs $(for n in "${names[@]}"; do one "$n" "$pkgs"; done) "$pkgs"/*-dbgsym*.ddeb

lib=usr/lib/$(triplet "$arch")
for f in usr/bin/tqexe usr/bin/tqpack usr/bin/tqzlw usr/share/tqexe/demo \
         usr/share/man/man1/tqexe.1.gz usr/share/man/man1/tqpack.1.gz usr/share/man/man1/tqzlw.1.gz \
         usr/share/doc/tqexe-reference-engine/examples/hello/hello.TQL \
         usr/include/tqhost.h "$lib/libtqhost.a" "$lib/pkgconfig/tqhost.pc" "$lib/cmake/tqhost/tqhostConfig.cmake"; do
  [ -e "$root/$f" ] || fail "$f is not installed"
done
for n in "${names[@]}"; do
  for f in copyright changelog.Debian.gz; do
    [ -f "$root/usr/share/doc/$n/$f" ] || fail "$n has no /usr/share/doc/$n/$f"
  done
done
engine_so=$(cd "$root" && find . -name tq150vm.so)
[ "$engine_so" = "./$lib/tqexe/engine/tq150vm.so" ] || fail "reference engine installed as '$engine_so'"
dpkg-deb -c "$(one tqexe "$pkgs")" | grep -q tq150vm.so && fail "the launcher package carries the engine"
[ "$(readlink "$root/$lib/libtqhost.so")" = libtqhost.so.1 ] || fail "libtqhost.so does not link to libtqhost.so.1"
readelf -d "$root/$lib/libtqhost.so.1" | grep -q 'SONAME.*\[libtqhost\.so\.1\]' || fail "libtqhost.so.1 lacks its SONAME"
dpkg-deb -c "$(one libtqhost1 "$pkgs")" | grep -q 'libtqhost\.so$' && fail "libtqhost1 carries the development link"
grep -qx 'prefix=/usr' "$root/$lib/pkgconfig/tqhost.pc" || fail "tqhost.pc does not name the prefix /usr"
# ldconfig runs through dpkg's trigger, never from a maintainer script.
ctl=$(dpkg-deb --ctrl-tarfile "$(one libtqhost1 "$pkgs")" | tar -t)
grep -qx './triggers' <<<"$ctl" || fail "libtqhost1 has no triggers file"
grep -qE 'post(inst|rm)$' <<<"$ctl" && fail "libtqhost1 carries maintainer scripts"
# Stripped programs and libraries, their symbols in the -dbgsym packages.
for b in usr/bin/tqexe usr/bin/tqpack usr/bin/tqzlw "$lib/libtqhost.so.1" "$lib/tqexe/engine/tq150vm.so"; do
  file -L "$root/$b" | grep -q ', stripped' || fail "$b is not stripped"
  id=$(readelf -n "$root/$b" | sed -n 's/.*Build ID: //p')
  [ -f "$root/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" ] || fail "no debug symbols installed for $b"
done
if [ -n "$version" ]; then
  for t in tqpack tqzlw; do
    [ "$("$root/usr/bin/$t" --version)" = "$t $version" ] || fail "$t --version does not tell $version"
  done
fi

# Depends: versioned (from the symbols the binaries use), and exactly the packages
# that own the libraries the programs link when this machine can tell (a package
# of its own architecture); the engine package needs the launcher, the
# development package its library.
depends() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed -E 's/^ +//; s/ .*//; s/:.*//' | grep -v '^$' | sort -u; }
linked() {
  for b in "$@"; do ldd "$b" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// {print $3}'; done | sort -u |
    while read -r l; do dpkg -S "$(realpath "$l")" 2>/dev/null || dpkg -S "$l" 2>/dev/null || echo "?:"; done |
    cut -d: -f1 | sort -u
}
for n in tqexe libtqhost1 tqexe-reference-engine; do
  d=$(dpkg-deb -f "$(one "$n" "$pkgs")" Depends)
  for want in libc6 libstdc++6; do
    grep -qE "(^|, )${want//+/\\+} \(>= [0-9]" <<<"$d" || fail "$n: no versioned $want in Depends: $d"
  done
done
want=$(linked "$root"/usr/bin/*)
if [ "$arch" = "$(dpkg --print-architecture)" ] && ! grep -q '^?$' <<<"$want"; then
  [ "$(depends "$(one tqexe "$pkgs")")" = "$want" ] || fail "tqexe depends on '$(depends "$(one tqexe "$pkgs")" | xargs)', links '$(xargs <<<"$want")'"
fi
depends "$(one tqexe-reference-engine "$pkgs")" | grep -qx tqexe || fail "tqexe-reference-engine does not depend on tqexe"
dpkg-deb -f "$(one libtqhost-dev "$pkgs")" Depends | grep -qE "libtqhost1 \(= [^)]+\)" || fail "libtqhost-dev does not depend on its libtqhost1"

# The other architecture's library and development packages install beside these.
arches=("$arch")
if [ -n "$other" ]; then
  oarch=$(dpkg-deb -f "$(one libtqhost1 "$other")" Architecture)
  [ "$oarch" != "$arch" ] || fail "$other holds $arch packages too"
  install_debs "$(one libtqhost1 "$other")" "$(one libtqhost-dev "$other")"
  dpkg-deb -x "$(one tqexe-reference-engine "$other")" "$root.side"
  arches+=("$oarch")
fi

# A C host built with pkg-config in the scratch root, for each architecture,
# linked with the shared library and (Libs.private) with the static one, and run
# on that architecture's reference engine.
examples=$root/usr/share/doc/tqexe-reference-engine/examples/host
# run_hosts WHAT LIBDIR ENGINE HOST HOST_MT: the sample call, then the threaded one.
run_hosts() {
  local out
  out=$(cd "$examples" && LD_LIBRARY_PATH=$2 "$4" "$3" calc.TQL Add 40 2 2>&1) || fail "$1: ${4##*/} failed: $out"
  grep -qx 'Add = 42' <<<"$out" || fail "$1: ${4##*/} did not compute 40 + 2: $out"
  out=$(cd "$examples" && LD_LIBRARY_PATH=$2 "$5" "$3" calc.TQL 2 20 2>&1) || fail "$1: ${5##*/} failed: $out"
  grep -qx 'every result right' <<<"$out" || fail "$1: ${5##*/} got wrong results: $out"
}
for a in "${arches[@]}"; do
  l=usr/lib/$(triplet "$a")
  m=; [ "$a" = i386 ] && m=-m32
  engine=$root/$l/tqexe/engine/tq150vm.so
  [ -f "$engine" ] || engine=$root.side/$l/tqexe/engine/tq150vm.so
  pc() { PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/$l/pkgconfig PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 \
         PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 pkg-config "$@" tqhost; }
  cc $m -o "$root/host_$a" "$examples/host_calc.c" $(pc --cflags --libs) || fail "$a: host_calc does not build with pkg-config"
  static=$(pc --static --libs)
  cc $m -o "$root/host_mt_$a" "$examples/host_calc_mt.c" $(pc --cflags) ${static/-ltqhost/-l:libtqhost.a} ||
    fail "$a: host_calc_mt does not link the static library with pkg-config --static"
  readelf -d "$root/host_$a" | grep -q 'NEEDED.*\[libtqhost\.so\.1\]' || fail "$a: the host does not need libtqhost.so.1"
  readelf -d "$root/host_mt_$a" | grep -q 'libtqhost' && fail "$a: the static host needs the shared library"
  run_hosts "$a" "$root/$l" "$engine" "$root/host_$a" "$root/host_mt_$a"
done

# find_package(tqhost) from a C-only project, the package's own architecture.
mkdir "$root/proj"
cat >"$root/proj/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.18)
project(hosts C)
find_package(tqhost 1 REQUIRED)
add_executable(host_calc "$examples/host_calc.c")
target_link_libraries(host_calc PRIVATE tqhost::tqhost)
add_executable(host_calc_mt "$examples/host_calc_mt.c")
target_link_libraries(host_calc_mt PRIVATE tqhost::tqhost_static)
CMAKE
tc=; [ "$arch" = i386 ] && tc=-DCMAKE_TOOLCHAIN_FILE=$here/../cmake/x86.cmake
{ cmake -S "$root/proj" -B "$root/proj/b" $tc -DCMAKE_PREFIX_PATH="$root/usr" -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF &&
  cmake --build "$root/proj/b"; } >"$root.log" 2>&1 || { cat "$root.log" >&2; fail "find_package(tqhost) hosts do not build"; }
run_hosts "find_package, $arch" "$root/$lib" "$root/$lib/tqexe/engine/tq150vm.so" "$root/proj/b/host_calc" "$root/proj/b/host_calc_mt"

out=$("$root/usr/share/tqexe/demo" 2>/dev/null) || fail "the installed demo failed"
[ "$(grep -c 'Hello from the reference engine' <<<"$out")" -eq 2 ] || fail "the installed demo did not run both applications: $out"
echo "package-check: ok ($arch: ${names[*]}${other:+; $oarch libraries beside them}; lintian clean)"
