#!/usr/bin/env bash
# Runs the README's own commands against a built tree, as a user would type them:
#  - the host program example: its C source and its shell block, in a scratch folder laid out
#    like the source tree (include/, build/<tree>/ and the program beside them);
#  - the sample service without systemd: the install line and the start-stop-daemon lines, as
#    root in a private mount namespace with its own /opt and /run.
# The make targets are CI's own commands and the systemctl lines are run by make systemd-check.
#   readme_test.sh SOURCE_DIR BUILD_DIR TREE
set -euo pipefail
src=$(cd "${1:?usage: readme_test.sh SOURCE_DIR BUILD_DIR TREE}" && pwd)
build=$(cd "${2:?}" && pwd)
tree=${3:?}
readme=$src/README.md
fail() { echo "readme_test: $*" >&2; exit 1; }

# The fenced block number N (from 1) of language LANG in the section headed HEADING.
block() {
  awk -v head="$1" -v lang="$2" -v want="$3" '
    /^#+ / { insec = (substr($0, index($0, " ") + 1) == head); next }
    { line = $0; sub(/^ +/, "", line) }  # fences inside a list item are indented
    insec && !inblk && line == "```" lang { n++; inblk = 1; next }
    inblk && line == "```" { inblk = 0; next }
    inblk && n == want { print line }
  ' "$readme" | sed -e ':a' -e '/\\$/N; s/\\\n */ /; ta'  # continued lines joined
}
# The README speaks of the 64-bit tree; for the 32-bit one it says to take build/x86 and -m32.
for_tree() {
  if [ "$tree" = x86 ]; then sed -e 's#build/x64#build/x86#g' -e 's#^cc #cc -m32 #' -e 's#_amd64\.deb#_i386.deb#g'; else cat; fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Host program.
mkdir -p "$work/host/build"
ln -s "$src/include" "$work/host/include"
ln -s "$build" "$work/host/build/$tree"
block "Calling an application from your own program" c 1 >"$work/host/host.c"
[ -s "$work/host/host.c" ] || fail "no C example in the README"
steps=$(block "Calling an application from your own program" sh 1 | grep -v '^make ' | for_tree)
[ -n "$steps" ] || fail "no shell block after the C example"
out=$(cd "$work/host" && bash -euo pipefail -c "$steps" 2>&1) || fail "host example failed: $out"
[ "$(tail -n 1 <<<"$out")" = 42 ] || fail "host example printed '$out', not 42"
echo "readme_test: host example ok"

# The application's Debian package: the README's tqpack deb command with this tree's tools
# for the installed ones, giving the file its dpkg -i line installs (installing it is
# deb_test's and make systemd-check's part).
sec="Ship an application as a Debian package"
mkdir "$work/deb"
ln -s "$src/examples" "$work/deb/examples"
cmd=$(block "$sec" sh 2 | grep '^tqpack deb ' | sed -e "s#^tqpack #'$build/bin/tqpack' #" -e "s# /usr/bin/tqexe\$# '$build/bin/tqexe'#")
pkg=$(block "$sec" sh 3 | for_tree | sed -n 's/^dpkg -i //p')
[ -n "$cmd" ] && [ -n "$pkg" ] || fail "tqpack deb steps not found in the README"
out=$(cd "$work/deb" && bash -euo pipefail -c "$cmd" 2>&1) || fail "tqpack deb failed: $out"
[ -f "$work/deb/$pkg" ] || fail "tqpack deb did not write $pkg: $(ls "$work/deb")"
dpkg-deb -c "$work/deb/$pkg" >"$work/deb/contents"
grep -q 'lib/systemd/system/tqsample.service$' "$work/deb/contents" || fail "$pkg has no unit"
echo "readme_test: tqpack deb ok"

# Sample service with start-stop-daemon (root only: it writes /opt and /run).
if [ "$(id -u)" -ne 0 ] || ! command -v start-stop-daemon >/dev/null || ! command -v unshare >/dev/null; then
  echo "readme_test: sample service skipped (needs root, unshare and start-stop-daemon)"
  exit 0
fi
# The units go to a scratch folder, never to this machine's /etc/systemd/system.
install=$(block "The sample service" sh 1 | grep '^examples/service/install.sh' | sed 's/ *#.*//' | for_tree |
          sed "s#--units /etc/systemd/system#--units '$work/units'#")
start=$(grep -h '^start-stop-daemon --start' <(block "Running an application as a service" sh 1) \
        <(block "The sample service" sh 2) | head -n 1)
stop=$(grep -h '^start-stop-daemon --stop' <(block "Running an application as a service" sh 1) \
       <(block "The sample service" sh 2) | head -n 1)
[ -n "$install" ] && [ -n "$start" ] && [ -n "$stop" ] || fail "sample service commands not found in the README"
mkdir -p "$work/svc/build" "$work/opt" "$work/run"
ln -s "$src/examples" "$work/svc/examples"
ln -s "$build" "$work/svc/build/$tree"
out=$(cd "$work/svc" && timeout 60 unshare --mount --propagation private bash -euo pipefail -c "
  mount --bind '$work/opt' /opt
  mount --bind '$work/run' /run
  mkdir -p '$work/units'
  $install >/dev/null
  [ -f '$work/units/tqsample.service' ] && [ -f '$work/units/tqsample-user.service' ]
  $start
  pid=\$(cat /run/tqsample.pid)
  kill -0 \"\$pid\"
  $stop
  ! kill -0 \"\$pid\" 2>/dev/null
  [ ! -s /run/tqsample.pid ]
  echo stopped
" 2>&1) || fail "sample service commands failed: $out"
[ "$(tail -n 1 <<<"$out")" = stopped ] || fail "sample service: $out"
echo "readme_test: sample service ok"
