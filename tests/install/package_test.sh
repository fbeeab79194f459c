#!/usr/bin/env bash
# 'make package' of a built tree: the Debian packages, checked by lintian and by
# installing them into a scratch root (scripts/package-check.sh). When the other
# architecture's tree (build/x64 beside build/x86) is built, its packages are made
# too and its library packages installed beside these.   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd); version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
pack() { (cd "$1" && cpack -G DEB -B "$2" >"$2.log" 2>&1) || { cat "$2.log" >&2; exit 1; }; }
pack "$build" "$out/own"
case ${build##*/} in x64) other=${build%/*}/x86 ;; x86) other=${build%/*}/x64 ;; *) other= ;; esac
# What the packages hold, built in the other tree (nothing is built from here).
targets="tqexe tqpack tqzlw tqhost tqhost_static tq150vm tq_packaging_files"
# Up to date: a dry run would do nothing but the glob check every build begins with.
up_to_date() {
  local plan
  plan=$(ninja -C "$1" -n $targets 2>/dev/null) || return 1
  ! grep -E '^\[[0-9]+/[0-9]+\]' <<<"$plan" | grep -qvE 'Re-checking globbed directories|Re-running CMake'
}
if [ -n "$other" ] && [ -f "$other/build.ninja" ] && up_to_date "$other"; then
  pack "$other" "$out/other"
  bash "$(dirname "$0")/../../scripts/package-check.sh" "$out/own" "$version" "$out/other"
else
  echo "package_test: ${other:-the other tree} is not built (or out of date): the other architecture's packages are not installed beside these"
  bash "$(dirname "$0")/../../scripts/package-check.sh" "$out/own" "$version"
fi
