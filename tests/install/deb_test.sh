#!/usr/bin/env bash
# tqpack deb on this tree's launcher: the sample application and the sample service
# as Debian packages, checked with dpkg-deb and lintian (when installed), installed
# with dpkg --root into a scratch root and run from there.   deb_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1/bin" && pwd); src=$(cd "$2" && pwd)
fail() { echo "deb_test: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SOURCE_DATE_EPOCH=1700000000
m='Jo Doe <jo@example.org>'

# Installed launchers are stripped; packaging the build tree's would only add
# lintian's complaint about debug symbols.
strip --strip-unneeded -o tqexe "$bin/tqexe"
deb() { "$bin/tqpack" deb --maintainer "$m" "$@" >/dev/null; }
deb --name hello --version 1.0-1 --tql "$src/examples/hello/hello.TQL" --project hello ./tqexe
deb --name hello-embedded --version 1.0 --tql "$src/examples/hello/hello.TQL" --embed ./tqexe
deb --name tqsample --version 1.0-1 --tql "$src/examples/service/tqsample.TQL" --project tqsample \
  --service --user nobody --directory /var/lib/tqsample --description 'TORQEN sample service' ./tqexe
arch=$(dpkg-deb -f hello_1.0-1_*.deb Architecture)
case $(file -bL tqexe) in
  *64-bit*) [ "$arch" = amd64 ] || fail "a 64-bit launcher packaged for $arch" ;;
  *32-bit*) [ "$arch" = i386 ] || fail "a 32-bit launcher packaged for $arch" ;;
esac
triplet=$([ "$arch" = amd64 ] && echo x86_64-linux-gnu || echo i386-linux-gnu)
hello=hello_1.0-1_$arch.deb; embedded=hello-embedded_1.0_$arch.deb; service=tqsample_1.0-1_$arch.deb

# The same inputs, another run: the same bytes.
mkdir again && (cd again && deb --name tqsample --version 1.0-1 --tql "$src/examples/service/tqsample.TQL" \
  --project tqsample --service --user nobody --directory /var/lib/tqsample --description 'TORQEN sample service' ../tqexe)
cmp -s "$service" "again/$service" || fail "two builds of $service differ"

# The other class's launcher, when its tree is built beside this one: the tool does
# not care which class it runs as.
other=$1/../$([ "$arch" = amd64 ] && echo x86 || echo x64)/bin/tqexe
if [ -f "$other" ]; then
  mkdir cross && strip --strip-unneeded -o cross/tqexe "$other"
  (cd cross && deb --name hello --version 1.0-1 --tql "$src/examples/hello/hello.TQL" ./tqexe)
  carch=$(dpkg-deb -f cross/hello_*.deb Architecture)
  [ "$carch" != "$arch" ] && [ -f "cross/hello_1.0-1_$carch.deb" ] || fail "the other class's launcher packaged for $carch"
fi

# What dpkg-deb reads.
for p in "$hello" "$embedded" "$service"; do
  for member in control.tar.xz data.tar.xz; do
    ar p "$p" "$member" | xz -t || fail "$p: $member is not a valid xz stream"
  done
  [ "$(ar t "$p" | xargs)" = "debian-binary control.tar.xz data.tar.xz" ] || fail "$p: members $(ar t "$p" | xargs)"
  deps=$(dpkg-deb -f "$p" Depends)
  grep -q 'tqexe-reference-engine' <<<"$deps" && grep -Eq 'libc6 \(>= 2\.[0-9]+\)' <<<"$deps" ||
    fail "$p depends on '$deps'"
  # Installed-Size: each file's size in KiB rounded up, one for every other entry
  # (the top directory included, as dpkg-gencontrol counts).
  rm -rf x && dpkg-deb -x "$p" x
  want=$(find x -printf '%y %s\n' | awk '$1 == "f" {k += int(($2 + 1023) / 1024); next} {k++} END {print k}')
  [ "$(dpkg-deb -f "$p" Installed-Size)" = "$want" ] || fail "$p: Installed-Size $(dpkg-deb -f "$p" Installed-Size), files make $want"
done
contents() { dpkg-deb --contents "$1" | awk '{print $1, $6, $7, $8}'; }
expect() { grep -qxF -- "$2" <<<"$(contents "$1")" || fail "$1 lacks '$2':"$'\n'"$(contents "$1")"; }
expect "$hello" "-rwxr-xr-x ./usr/lib/hello/hello  "
expect "$hello" "-rw-r--r-- ./usr/lib/hello/hello.TQL  "
expect "$hello" "-rw-r--r-- ./usr/lib/hello/hello.TX  "
expect "$hello" "lrwxrwxrwx ./usr/bin/hello -> ../lib/hello/hello"
dpkg-deb --contents "$embedded" | grep -q 'hello-embedded.TQL' && fail "$embedded carries the application beside the launcher"
expect "$service" "-rw-r--r-- ./lib/systemd/system/tqsample.service  "
expect "$service" "drwxr-xr-x ./var/lib/tqsample/  "
info=$(dpkg-deb --info "$service")
for w in ' postinst ' ' prerm ' ' postrm ' 'Package: tqsample' 'Version: 1.0-1' "Architecture: $arch"; do
  grep -qF -- "$w" <<<"$info" || fail "dpkg-deb --info $service lacks '$w'"
done
dpkg-deb --ctrl-tarfile "$service" | tar xOf - ./postinst | grep -q "deb-systemd-helper enable 'tqsample.service'" ||
  fail "postinst does not enable the unit"
dpkg-deb --ctrl-tarfile "$service" | tar xOf - ./prerm | grep -q "deb-systemd-invoke stop 'tqsample.service'" ||
  fail "prerm does not stop the unit"

if command -v lintian >/dev/null; then
  out=$(lintian --no-cfg "$hello" "$embedded" "$service" 2>&1 || true)
  grep -q '^E:' <<<"$out" && fail "lintian reports errors:"$'\n'"$out"
fi

# Installed into a scratch root with the engine file where the engine package puts it.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/lib/$triplet/tqexe/engine"
: >"$root/var/lib/dpkg/status"
cp "$bin/tq150vm.so" "$root/usr/lib/$triplet/tqexe/engine/"
dpkg --root="$root" --force-depends --force-architecture --force-script-chrootless \
  -i "$hello" "$embedded" "$service" >dpkg.log 2>&1 || { cat dpkg.log >&2; fail "dpkg refused the packages"; }
(cd "$root" && md5sum --quiet -c var/lib/dpkg/info/hello.md5sums var/lib/dpkg/info/tqsample.md5sums) ||
  fail "installed files do not match md5sums"
[ -L "$root/etc/systemd/system/multi-user.target.wants/tqsample.service" ] || fail "the unit was not enabled"
grep -qx "VMPATH=/usr/lib/$triplet/tqexe/engine/tq150vm.so" "$root/usr/lib/hello/hello.TX" || fail "hello.TX: $(cat "$root/usr/lib/hello/hello.TX")"
grep -qx "USER=nobody" "$root/usr/lib/tqsample/tqsample.TX" || fail "tqsample.TX has no service user"

# Run the commands. The .TX names the engine by its absolute path: where possible a
# private mount namespace shows the scratch root's engine there; otherwise the
# loader's path finds it.
run() {
  if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && unshare -m true 2>/dev/null; then
    mkdir -p ov/up ov/work
    unshare -m bash -c 'set -e
      mount -t overlay overlay -o lowerdir=/usr/lib,upperdir=ov/up,workdir=ov/work /usr/lib
      mkdir -p /usr/lib/'"$triplet"'/tqexe
      mount --bind "'"$root"'/usr/lib/'"$triplet"'/tqexe" /usr/lib/'"$triplet"'/tqexe
      exec "$@"' run "$@"
  else
    LD_LIBRARY_PATH=$root/usr/lib/$triplet/tqexe/engine "$@"
  fi
}
out=$(run "$root/usr/bin/hello" one 2>/dev/null) || true
grep -q '^Hello from the reference engine!$' <<<"$out" && grep -q '^project: hello$' <<<"$out" &&
  grep -q '^application library: hello.TQL (offset 0)$' <<<"$out" || fail "/usr/bin/hello printed: $out"
out=$(run "$root/usr/bin/hello-embedded" 2>/dev/null) || true
grep -q '^Hello from the reference engine!$' <<<"$out" && grep -Eq '^application library: .* \(offset [1-9][0-9]*\)$' <<<"$out" ||
  fail "/usr/bin/hello-embedded printed: $out"

if command -v systemd-analyze >/dev/null; then
  # Verified as installed, its command taken from the scratch root.
  mkdir unit && sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/lib/systemd/system/tqsample.service" >unit/tqsample.service
  systemd-analyze verify unit/tqsample.service >verify.log 2>&1 || { cat verify.log >&2; fail "the unit does not verify"; }
  exposure=$(systemd-analyze security --offline=yes unit/tqsample.service 2>/dev/null | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p')
  awk -v e="$exposure" 'BEGIN {exit !(e != "" && e <= 5.0)}' || fail "the unit's exposure is '$exposure', above 5.0"
fi
unit=$root/lib/systemd/system/tqsample.service
for w in Type=notify 'ExecStart=/usr/bin/tqsample --SERVICE tqsample' PIDFile=/run/tqsample.pid \
  'ReadWritePaths=/run /var/lib/tqsample' "SystemCallArchitectures=$([ "$arch" = i386 ] && echo x86 || echo native)"; do
  grep -qxF "$w" "$unit" || fail "the unit lacks '$w'"
done

# Purged, nothing of the service is left: no unit, no enablement, no files.
dpkg --root="$root" --force-depends --force-script-chrootless --purge tqsample >dpkg.log 2>&1 ||
  { cat dpkg.log >&2; fail "dpkg could not purge tqsample"; }
left=$(cd "$root" && find . -name '*tqsample*' ! -path './var/lib/dpkg/*')
[ -z "$left" ] || fail "purged tqsample left: $left"
echo "deb_test: ok ($arch: $(stat -c %s "$hello") + $(stat -c %s "$service") bytes)"
