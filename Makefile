# Entry points for people and CI. Each target installs what the machine lacks
# (scripts/bootstrap.sh) and configures its tree on first use.
JOBS    ?= $(shell nproc)
CMAKE_G := -G Ninja
FUZZ_SECONDS ?= 10
# fuzz-long: each target until this many executions or seconds, whichever first.
FUZZ_LONG_RUNS    ?= 10000000
FUZZ_LONG_SECONDS ?= 1800
FUZZ_LONG_JOBS    ?= 1
FUZZ_TARGETS      ?=
# install / package: where to, and from which tree.
PREFIX ?= /usr/local
TREE   ?= x64

.PHONY: all bootstrap x64 x86 demo test test-x64 test-x86 asan fuzz fuzz-long bench install package systemd-check clean

all: x64

bootstrap:
	@bash scripts/bootstrap.sh

build/x64/build.ninja: | bootstrap
	cmake -S . -B build/x64 $(CMAKE_G)

build/x86/build.ninja: | bootstrap
	cmake -S . -B build/x86 $(CMAKE_G) -DCMAKE_TOOLCHAIN_FILE=cmake/x86.cmake

x64: build/x64/build.ninja
	cmake --build build/x64 -j $(JOBS)

x86: build/x86/build.ninja
	cmake --build build/x86 -j $(JOBS)

# Builds only what the demo runs (the launcher, the engine, tqpack, the example hosts).
demo: build/x64/build.ninja
	cmake --build build/x64 -j $(JOBS) --target tq_demo
	@bash scripts/demo.sh build/x64/bin

test-x64: x64
	cd build/x64 && ctest --output-on-failure -j $(JOBS)

test-x86: x86
	cd build/x86 && ctest --output-on-failure -j $(JOBS)

test: test-x64 test-x86

# AddressSanitizer + UndefinedBehaviorSanitizer tree (64-bit), leaks checked too:
# a leak fails the test program, and a launcher or tool a test starts ends with
# LeakSanitizer's exit status, which the test sees.
asan: bootstrap
	cmake -S . -B build/asan $(CMAKE_G) -DTQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# libFuzzer targets built with clang; each runs FUZZ_SECONDS on its corpus.
fuzz: bootstrap
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_G) -DTQ_FUZZ=ON -DTQ_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/fuzz -j $(JOBS)
	@bash scripts/fuzz.sh build/fuzz/bin $(FUZZ_SECONDS)

# Long fuzzing (not in CI): see scripts/fuzz-long.sh. FUZZ_TARGETS limits the targets.
fuzz-long: bootstrap
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_G) -DTQ_FUZZ=ON -DTQ_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/fuzz -j $(JOBS)
	@FUZZ_LONG_JOBS=$(FUZZ_LONG_JOBS) nice -n 10 bash scripts/fuzz-long.sh build/fuzz/bin $(FUZZ_LONG_RUNS) $(FUZZ_LONG_SECONDS) $(FUZZ_TARGETS)

# Installs the launcher, the tools, the host headers and libraries, then (its own
# component) the reference engine, the examples and the demo. DESTDIR is honoured.
install: $(TREE)
	DESTDIR="$(DESTDIR)" cmake --install build/$(TREE) --prefix $(PREFIX)

# Debian packages of the chosen tree in build/<tree>/packages/, each checked by
# installing it into a scratch root and running the demo from there.
package: $(TREE)
	rm -rf build/$(TREE)/packages
	cd build/$(TREE) && cpack -G DEB -B packages
	@bash scripts/package-check.sh build/$(TREE)/packages

# The sample service under a real systemd (root, network the first time; not part of
# 'make test'): a Debian root made once in build/systemd-root, booted with
# systemd-nspawn, the packages of the tree installed in it. See scripts/systemd-check.sh.
systemd-check: package
	@bash scripts/systemd-check.sh build/$(TREE)/packages

# Release trees: every benchmark in 64 bits (build/bench), the dynamic strings' in
# 32 bits too (build/bench-x86), the platform of the field.
bench: bootstrap
	cmake -S . -B build/bench $(CMAKE_G) -DTQ_BENCH=ON -DTQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build/bench -j $(JOBS)
	cmake -S . -B build/bench-x86 $(CMAKE_G) -DTQ_BENCH=ON -DTQ_TESTS=OFF -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/x86.cmake
	cmake --build build/bench-x86 -j $(JOBS) --target bench_qsdstr
	@bash scripts/bench.sh build/bench/bin build/bench-x86/bin

clean:
	rm -rf build
