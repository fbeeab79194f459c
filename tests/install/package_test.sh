#!/usr/bin/env bash
# 'make package' of a built tree: the Debian packages, checked by installing them
# into a scratch root and running the demo there.   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd); version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
bash "$(dirname "$0")/../../scripts/package-check.sh" "$out" "$version"
