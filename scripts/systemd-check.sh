#!/usr/bin/env bash
# The sample service under a real systemd as process 1: a minimal Debian root (made
# once with debootstrap, kept in build/systemd-root) booted with systemd-nspawn on a
# throw-away overlay, the project's packages and the sample service installed inside,
# then what an operator relies on: start, readiness, failed starts, stop, restart
# after a crash, readable journal lines, both units. Needs root and, the first time,
# the network. Not part of 'make test'.        systemd-check.sh PKG_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
pkgs=$(cd "${1:?usage: systemd-check.sh PKG_DIR}" && pwd)
top=$PWD
root=$top/build/systemd-root
work=$top/build/systemd-check
suite=bookworm
mirror=${TQ_DEBIAN_MIRROR:-http://deb.debian.org/debian}
die() { echo "systemd-check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "run as root (it installs packages, builds a root and boots it)"

nspawn= ct= made_run_dir=
cleanup() {
  set +e
  if [ -n "$nspawn" ] && kill -0 "$nspawn" 2>/dev/null; then
    # nspawn powers the container off; a container that does not go in time is killed.
    kill -TERM "$nspawn"
    for _ in $(seq 100); do kill -0 "$nspawn" 2>/dev/null || break; sleep 0.2; done
    kill -KILL -- "-$nspawn" 2>/dev/null
  fi
  [ -n "$ct" ] && kill -KILL "$ct" 2>/dev/null
  [ -n "$nspawn" ] && wait "$nspawn" 2>/dev/null
  # An interrupted debootstrap leaves its /proc and /sys mounted in the partial root.
  findmnt -rn -o TARGET | grep -F "$root" | sort -r | xargs -r umount -l
  [ -n "$made_run_dir" ] && rmdir /run/systemd/nspawn/propagate /run/systemd/nspawn/locks /run/systemd/nspawn 2>/dev/null
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

mkdir -p "$work"
exec 9>"$work/lock"
flock -n 9 || die "another systemd-check is running"

# Tools: debootstrap, and systemd-nspawn from systemd-container.
need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v systemd-nspawn >/dev/null || need+=(systemd-container)
if [ ${#need[@]} -gt 0 ]; then
  echo "systemd-check: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

now_ms() { date +%s%3N; }
since() { echo $(( $(now_ms) - $1 )); }

# The root, made once; a partial one (interrupted) is made again.
if [ ! -f "$root/.tqexe-root" ]; then
  rm -rf "$root.part"
  echo "systemd-check: debootstrap $suite into $root (once; a few minutes)"
  t=$(now_ms)
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus "$suite" "$root.part" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || { tail -20 "$work/debootstrap.log" >&2; die "debootstrap failed"; }
  echo "$suite minbase systemd systemd-sysv dbus" >"$root.part/.tqexe-root"
  rm -rf "$root"
  mv "$root.part" "$root"
  echo "systemd-check: debootstrap took $(( $(since "$t") / 1000 )) s"
fi

shopt -s nullglob
debs=()
for d in "$pkgs"/*.deb; do
  case ${d##*/} in *-dbgsym_*) continue ;; esac
  debs+=("${d##*/}")
done
[ ${#debs[@]} -gt 0 ] || die "no package in $pkgs: make package first"
arch=$(dpkg --print-architecture)
for d in "${debs[@]}"; do
  a=$(dpkg-deb -f "$pkgs/$d" Architecture)
  [ "$a" = "$arch" ] || [ "$a" = all ] || die "$d is for $a, the root for $arch: make systemd-check TREE=x64"
done

# Boot on an overlay: the cached root stays as debootstrap made it.
[ -d /run/systemd/nspawn ] || made_run_dir=1
machine=tqcheck$$
t=$(now_ms)
setsid systemd-nspawn -q -D "$root" -M "$machine" -b --register=no --keep-unit --volatile=overlay \
  --bind-ro="$pkgs:/mnt/tqexe-packages" </dev/null >"$work/console.log" 2>&1 &
nspawn=$!
for _ in $(seq 300); do
  kill -0 "$nspawn" 2>/dev/null || { tail -20 "$work/console.log" >&2; die "systemd-nspawn ended"; }
  c=$(ps -o pid= --ppid "$nspawn" | head -1 | tr -d ' ' || true)
  if [ -n "$c" ] && [ "$(cat "/proc/$c/comm" 2>/dev/null)" = systemd ]; then ct=$c; break; fi
  sleep 0.1
done
[ -n "$ct" ] || die "no systemd in the container after 30 s"

# A command inside the container (every namespace of its process 1), bounded.
in_ct() {
  timeout -k 5 "${limit:-60}" nsenter -t "$ct" -a -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    SYSTEMD_PAGER= SYSTEMD_COLORS=0 "$@"
}
# Its manager answers only once it has set up its own sockets.
for _ in $(seq 90); do
  state=$(limit=90 in_ct systemctl is-system-running --wait 2>/dev/null || true)
  case $state in running | degraded) break ;; esac
  kill -0 "$nspawn" 2>/dev/null || break
  sleep 1
done
case $state in running | degraded) ;; *) die "the container's systemd did not come up: '$state'" ;; esac
boot_ms=$(since "$t")

fails=0
ok() { echo "ok   - $*"; }
ko() { echo "FAIL - $*"; fails=$((fails + 1)); }
prop() { in_ct systemctl show -P "$2" "$1" 2>/dev/null || true; }
pidfile() { in_ct cat /run/tqsample.pid 2>/dev/null || true; }
status() { in_ct systemctl status --no-pager -l -n 20 "$1" 2>&1 || true; }
journal() { in_ct journalctl -q --no-pager -t tqsample -o cat 2>/dev/null || true; }
alive() { in_ct sh -c 'kill -0 "$0"' "$1" 2>/dev/null; }
owner() { in_ct stat -c %U "$@" 2>/dev/null | xargs; }
uid_of() { in_ct awk '/^Uid:/ {print $2; exit}' "/proc/$1/status" 2>/dev/null || true; }
# Polls CMD... every 0.1 s for at most SECONDS.
wait_for() {
  local n=$(($1 * 10)); shift
  while [ "$n" -gt 0 ]; do "$@" && return 0; sleep 0.1; n=$((n - 1)); done
  return 1
}
journal_has() { journal | grep -qF -- "$1"; }
# systemctl start, timed into $start_ms; the status is shown when it fails.
start() {
  local t; t=$(now_ms)
  if in_ct systemctl start "$1"; then start_ms=$(since "$t"); return 0; fi
  start_ms=$(since "$t"); return 1
}
stop() {
  local t; t=$(now_ms)
  in_ct systemctl stop "$1" || true
  stop_ms=$(since "$t")
}
# After a good start: active, its main process the one in the pid file.
started_ok() { # UNIT WHAT
  local main pf
  main=$(prop "$1" MainPID) pf=$(pidfile)
  if [ "$(prop "$1" ActiveState)" = active ] && [ "${main:-0}" -gt 0 ] && [ "$pf" = "$main" ]; then
    ok "$2: active, MainPID $main is the pid file's"
  else
    ko "$2: ActiveState $(prop "$1" ActiveState), MainPID '$main', pid file '$pf'"
    status "$1"
  fi
}

echo "systemd-check: container up in $boot_ms ms ($state); installing ${debs[*]}"
args=()
for d in "${debs[@]}"; do args+=("/mnt/tqexe-packages/$d"); done
if ! in_ct dpkg -i "${args[@]}" >"$work/dpkg.log" 2>&1; then
  # Dependencies the minimal root lacks come from the mirror.
  limit=300 in_ct sh -c 'apt-get update -qq && apt-get install -f -y -qq' >>"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; die "the packages do not install"; }
fi
inst=$(in_ct find /usr /opt -path '*/examples/service/install.sh' | head -1)
[ -n "$inst" ] || die "no installed examples/service/install.sh"
in_ct bash "$inst" --units /etc/systemd/system >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; die "$inst failed"; }
in_ct useradd --system --no-create-home --shell /usr/sbin/nologin tqsample
in_ct systemctl daemon-reload
ok "packages installed, sample service installed with $inst"
tx=$(in_ct cat /opt/tqsample/tqsample.TX)

# 1. A good start is a good 'systemctl start', ready when the pid file is written.
if start tqsample; then
  ok "systemctl start tqsample succeeded in $start_ms ms"
  started_ok tqsample.service "start"
  wait_for 5 journal_has "tqsample: service started" && ok "journal: 'tqsample: service started'" ||
    ko "journal lacks 'tqsample: service started'"
else
  ko "systemctl start tqsample failed after $start_ms ms"
  status tqsample
fi

# 2. systemctl stop ends it and the pid file goes.
main=$(prop tqsample.service MainPID)
stop tqsample
if [ "$(prop tqsample.service ActiveState)" = inactive ] && ! in_ct test -e /run/tqsample.pid &&
  ! { [ "${main:-0}" -gt 0 ] && alive "$main"; }; then
  ok "systemctl stop ended it in $stop_ms ms, pid file gone"
else
  ko "after systemctl stop: $(prop tqsample.service ActiveState), pid file '$(pidfile)'"
fi
wait_for 5 journal_has "tqsample: service stopping" && ok "journal: 'tqsample: service stopping'" ||
  ko "journal lacks 'tqsample: service stopping'"

# Figures: five more start/stop cycles.
starts=() stops=()
for _ in 1 2 3 4 5; do
  start tqsample || break
  starts+=("$start_ms")
  stop tqsample
  stops+=("$stop_ms")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }
[ ${#starts[@]} -eq 5 ] && ok "5 start/stop cycles" || ko "start/stop cycle $((${#starts[@]} + 1)) failed"

# 3. kill -9, then systemd restarts it (Restart=on-failure) and it takes the stale pid file over.
if start tqsample; then
  old=$(prop tqsample.service MainPID)
  t=$(now_ms)
  in_ct sh -c 'kill -9 "$0"' "$old"
  restarted() { local m; m=$(prop tqsample.service MainPID); [ "${m:-0}" -gt 0 ] && [ "$m" != "$old" ] &&
    [ "$(prop tqsample.service ActiveState)" = active ] && [ "$(pidfile)" = "$m" ]; }
  if wait_for 20 restarted; then
    restart_ms=$(since "$t")
    ok "kill -9 $old: restarted as $(prop tqsample.service MainPID) in $restart_ms ms (NRestarts=$(prop tqsample.service NRestarts)), pid file taken over"
  else
    ko "kill -9 $old: no restart (ActiveState $(prop tqsample.service ActiveState), MainPID $(prop tqsample.service MainPID), pid file '$(pidfile)')"
    status tqsample
  fi
  stop tqsample
else
  ko "systemctl start tqsample (before kill -9) failed"
fi

# 4. A missing engine: 'systemctl start' fails at once, the reason in 'systemctl status'.
in_ct mv /opt/tqsample/tq150vm.so /opt/tqsample/tq150vm.so.off
in_ct systemctl reset-failed tqsample 2>/dev/null || true
n0=$(prop tqsample.service NRestarts)
if start tqsample; then
  ko "systemctl start succeeded without the engine"
else
  fail_ms=$start_ms
  out=$(status tqsample)
  if grep -qF "tq150vm.so" <<<"$out"; then
    ok "without the engine systemctl start failed in $fail_ms ms, the reason in systemctl status"
  else
    ko "without the engine: no reason in systemctl status"
    echo "$out"
  fi
  sleep 3 # longer than RestartSec=: a restart would have begun
  r=$(prop tqsample.service Result) n=$(prop tqsample.service NRestarts) a=$(prop tqsample.service ActiveState)
  [ "$r" = exit-code ] && [ "$n" = "$n0" ] && [ "$a" = failed ] && ok "a refused start is not retried (Result=$r, $a)" ||
    ko "refused start: Result=$r, ActiveState=$a, NRestarts $n0 -> $n"
fi
in_ct systemctl reset-failed tqsample 2>/dev/null || true
in_ct mv /opt/tqsample/tq150vm.so.off /opt/tqsample/tq150vm.so

# 5. The journal holds text: UTF-8, no carriage return, nothing stored as a blob.
j=$(journal)
if grep -aq "é" <<<"$j" && ! grep -aq "blob data" <<<"$j" && ! grep -aq $'\r' <<<"$j" &&
  iconv -f UTF-8 -t UTF-8 <<<"$j" >/dev/null 2>&1; then
  ok "journalctl -t tqsample -o cat: UTF-8 text (é), no blob, no CR"
else
  ko "journal lines are not UTF-8 text: $(grep -a -m3 -e 'blob data' -e 'Impossible' <<<"$j" | tr '\r' '^' | xargs -0)"
fi

# 6. USER= in tqsample.TX: the launcher (root, five capabilities) becomes nobody and
# hands over DIRECTORY=; a second start reopens the pid file the first left to nobody.
in_ct sh -c 'mkdir -p /var/lib/tqsample/sub && chmod 700 /var/lib/tqsample/sub && touch /var/lib/tqsample/sub/f &&
  printf "[SERVICE]\nUSER=nobody\nDIRECTORY=/var/lib/tqsample\n" >/opt/tqsample/tqsample.TX'
for run in first second; do
  if start tqsample; then
    main=$(prop tqsample.service MainPID)
    started_ok tqsample.service "USER=nobody, $run start"
    u=$(uid_of "$main") o=$(owner /run/tqsample.pid /var/lib/tqsample /var/lib/tqsample/sub /var/lib/tqsample/sub/f)
    [ "$u" = 65534 ] && [ "$o" = "nobody nobody nobody nobody" ] &&
      ok "USER=nobody, $run start: runs as uid $u, pid file and directory handed over" ||
      ko "USER=nobody, $run start: uid '$u', owners '$o'"
    stop tqsample
    [ "$(prop tqsample.service ActiveState)" = inactive ] && [ -z "$(pidfile)" ] &&
      ok "USER=nobody, $run stop: ended, pid file emptied (nobody may not remove it)" ||
      ko "USER=nobody, $run stop: $(prop tqsample.service ActiveState), pid file '$(pidfile)'"
  else
    ko "USER=nobody, $run start failed"
    status tqsample
  fi
done
in_ct sh -c 'cat >/opt/tqsample/tqsample.TX' <<<"$tx"

# 7. The User= variant: systemd makes the identity, the launcher holds no privilege.
if start tqsample-user; then
  user_ms=$start_ms
  main=$(prop tqsample-user.service MainPID)
  started_ok tqsample-user.service "User=tqsample start ($user_ms ms)"
  u=$(uid_of "$main") want=$(in_ct id -u tqsample)
  caps=$(in_ct awk '/^CapEff:/ {print $2}' "/proc/$main/status")
  [ "$u" = "$want" ] && [ "$caps" = 0000000000000000 ] && ok "User=tqsample: runs as uid $u without capabilities" ||
    ko "User=tqsample: uid '$u' (want $want), CapEff '$caps'"
  stop tqsample-user
  [ "$(prop tqsample-user.service ActiveState)" = inactive ] && [ -z "$(pidfile)" ] &&
    ok "User=tqsample stop: ended in $stop_ms ms, pid file emptied" ||
    ko "User=tqsample stop: $(prop tqsample-user.service ActiveState), pid file '$(pidfile)'"
else
  ko "systemctl start tqsample-user failed"
  status tqsample-user
fi

# 8. The sample service as its own package, made inside the container by tqpack deb
# from the installed launcher: dpkg -i enables and starts it (ready when dpkg returns),
# dpkg -r stops it.
in_ct systemctl stop tqsample tqsample-user 2>/dev/null || true
pkg=tqsampledeb
tql=$(in_ct find /usr /opt -path '*/examples/service/tqsample.TQL' | head -1)
if [ -z "$tql" ]; then
  ko "tqpack deb: no installed tqsample.TQL"
elif ! in_ct tqpack deb --name "$pkg" --version 1.0-1 --tql "$tql" --project tqsample --service --user nobody \
  --directory "/var/lib/$pkg" --maintainer 'systemd-check <root@example.org>' -o "/tmp/$pkg.deb" /usr/bin/tqexe \
  >"$work/deb.log" 2>&1; then
  ko "tqpack deb failed: $(tail -1 "$work/deb.log")"
else
  t=$(now_ms)
  if in_ct dpkg -i "/tmp/$pkg.deb" >>"$work/deb.log" 2>&1; then
    deb_ms=$(since "$t")
    ok "dpkg -i $pkg.deb in $deb_ms ms"
    [ "$(in_ct systemctl is-enabled "$pkg.service" 2>/dev/null)" = enabled ] && ok "$pkg.service enabled by postinst" ||
      ko "$pkg.service is not enabled after dpkg -i"
    main=$(prop "$pkg.service" MainPID) pf=$(in_ct cat "/run/$pkg.pid" 2>/dev/null || true)
    if [ "$(prop "$pkg.service" ActiveState)" = active ] && [ "${main:-0}" -gt 0 ] && [ "$pf" = "$main" ]; then
      ok "$pkg.service started by postinst, MainPID $main is the pid file's"
    else
      ko "$pkg.service after dpkg -i: $(prop "$pkg.service" ActiveState), MainPID '$main', pid file '$pf'"
      status "$pkg.service"
    fi
    [ "$(owner "/var/lib/$pkg")" = nobody ] && ok "/var/lib/$pkg handed to nobody" ||
      ko "/var/lib/$pkg owned by '$(owner "/var/lib/$pkg")'"
    in_ct dpkg -r "$pkg" >>"$work/deb.log" 2>&1 || ko "dpkg -r $pkg failed"
    [ "$(prop "$pkg.service" ActiveState)" != active ] && ! in_ct test -s "/run/$pkg.pid" &&
      ok "dpkg -r stopped $pkg.service, pid file gone" || ko "after dpkg -r: $(prop "$pkg.service" ActiveState)"
    in_ct dpkg --purge "$pkg" >>"$work/deb.log" 2>&1 || ko "dpkg --purge $pkg failed"
  else
    ko "dpkg -i $pkg.deb failed: $(tail -3 "$work/deb.log")"
  fi
fi

echo "systemd-check: figures: boot $boot_ms ms; start (ready) median $(median "${starts[@]}") ms [${starts[*]:-}];" \
  "stop median $(median "${stops[@]}") ms [${stops[*]:-}]; restart after kill -9 ${restart_ms:--} ms;" \
  "refused start ${fail_ms:--} ms; dpkg -i of the tqpack deb service ${deb_ms:--} ms"
[ "$fails" -eq 0 ] || die "$fails check(s) failed (container console: $work/console.log)"
echo "systemd-check: ok"
