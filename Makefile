# Thin wrapper over CMake. BUILD_DIR may be overridden (e.g. make test BUILD_DIR=build-asan).
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build run test bench fuzz format clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/bench $(BUILD_DIR)

# libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer, built with clang.
fuzz: bootstrap
	@test -f $(BUILD_DIR)-fuzz/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(BUILD_DIR)-fuzz $(GENERATOR) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ_LIBFUZZER=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
