#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the project:
# compilers for both x86 trees, CMake, Ninja, GoogleTest sources, Google Benchmark
# and the clang runtime used by the fuzz targets and sanitizers.
# Run as root it installs with apt-get; otherwise it names what is missing.
set -euo pipefail

missing=()
need_cmd() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
# Installed for any architecture (dpkg -s refuses a name installed for two).
need_pkg() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q ' ok installed$' || missing+=("$1"); }

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
need_cmd lintian lintian           # make package: Debian's checks of the packages
need_cmd pkg-config pkg-config     # make package: a host built from the installed tqhost.pc
# The 32-bit tree's packages: dpkg-shlibdeps resolves their libraries through the
# i386 packages that own them (their symbols files give the versions), never the
# lib32 copies of the multilib compilers, which belong to amd64 packages.
# The 32-bit benchmark tree (make bench) links the i386 Google Benchmark.
i386_pkgs=(libc6:i386 libstdc++6:i386 libgcc-s1:i386 libbenchmark-dev:i386)
i386_missing=()
for p in "${i386_pkgs[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || i386_missing+=("$p"); done
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

[ ${#pkgs[@]} -eq 0 ] && [ ${#i386_missing[@]} -eq 0 ] && exit 0
if [ ${#i386_missing[@]} -gt 0 ]; then
  pkgs+=("${i386_missing[@]}")
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "bootstrap: installing ${pkgs[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if [ ${#i386_missing[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq >/dev/null || apt-get update
  apt-get install -y -qq --no-install-recommends "${pkgs[@]}" >/dev/null
else
  echo "bootstrap: missing packages: ${pkgs[*]}" >&2
  [ ${#i386_missing[@]} -eq 0 ] || echo "bootstrap: the i386 ones need 'dpkg --add-architecture i386' first." >&2
  echo "bootstrap: run 'sudo scripts/bootstrap.sh' (or install them with apt-get) and try again." >&2
  exit 1
fi
