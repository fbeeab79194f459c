#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the project:
# compilers for both x86 trees, CMake, Ninja, GoogleTest sources, Google Benchmark
# and the clang runtime used by the fuzz targets and sanitizers.
# Run as root it installs with apt-get; otherwise it names what is missing.
set -euo pipefail

missing=()
need_cmd() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need_pkg() { dpkg -s "$1" >/dev/null 2>&1 || missing+=("$1"); }

need_cmd cmake cmake
need_cmd ninja ninja-build
need_cmd g++ g++
need_cmd clang++ clang
need_pkg g++-multilib
need_pkg googletest
need_pkg libgtest-dev
need_pkg libbenchmark-dev
need_pkg libclang-rt-14-dev
need_pkg file
# Second malloc for the std::string side of the dynamic string benchmark.
need_pkg libmimalloc2.0
need_cmd dpkg-shlibdeps dpkg-dev   # make package: the packages' dependencies
# Service tests: the example unit is checked with systemd-analyze; the soak script
# runs in a mount namespace made by unshare.
need_cmd systemd-analyze systemd
need_cmd unshare util-linux
# tqpack deb and make package: the packages are checked with lintian.
need_cmd lintian lintian

# Deduplicate while keeping order.
declare -A seen=()
pkgs=()
for p in "${missing[@]:-}"; do
  [ -n "$p" ] || continue
  [ -n "${seen[$p]:-}" ] && continue
  seen[$p]=1
  pkgs+=("$p")
done

[ ${#pkgs[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "bootstrap: installing ${pkgs[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null || apt-get update
  apt-get install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null
else
  echo "bootstrap: missing packages: ${pkgs[*]}" >&2
  echo "bootstrap: run 'sudo scripts/bootstrap.sh' (or install them with apt-get) and try again." >&2
  exit 1
fi
