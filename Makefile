# Thin wrapper over CMake. BUILD_DIR may be overridden (e.g. make test BUILD_DIR=build-asan).
# The extra builds live beside it: $(BUILD_DIR)-clang, $(BUILD_DIR)-asan, $(BUILD_DIR)-package.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
JOBS ?= $(shell nproc)
# The Makefile's builds treat warnings as errors; a plain `cmake` configure does not.
CMAKE_OPTIONS := $(GENERATOR) -DCORVANE_WERROR=ON
CLANG_DIR := $(BUILD_DIR)-clang
ASAN_DIR := $(BUILD_DIR)-asan
PACKAGE_DIR := $(BUILD_DIR)-package
BUILDFLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
# Sanitizer settings for the tests: any finding, a leak included, fails the test.
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all bootstrap configure build run test test-clang test-asan package lint-package test-package bench \
  fuzz format clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) $(CMAKE_OPTIONS) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Release build with clang, and its tests.
test-clang: bootstrap
	@test -f $(CLANG_DIR)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(CLANG_DIR) $(CMAKE_OPTIONS) \
	  -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=OFF
	cmake --build $(CLANG_DIR) -j $(JOBS)
	cd $(CLANG_DIR) && ctest --output-on-failure -j $(JOBS)

# The tests under AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer, built with clang.
test-asan: bootstrap
	@test -f $(ASAN_DIR)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(ASAN_DIR) $(CMAKE_OPTIONS) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# The Debian package corvane_<version>_<arch>.deb, from a Release build with all of Debian's hardening flags;
# the package is left in the top folder.
package: bootstrap
	@test -f $(PACKAGE_DIR)/CMakeCache.txt || \
	  CFLAGS="$$($(BUILDFLAGS) CFLAGS) $$($(BUILDFLAGS) CPPFLAGS)" \
	  CXXFLAGS="$$($(BUILDFLAGS) CXXFLAGS) $$($(BUILDFLAGS) CPPFLAGS)" \
	  LDFLAGS="$$($(BUILDFLAGS) LDFLAGS)" \
	  cmake -S . -B $(PACKAGE_DIR) $(CMAKE_OPTIONS) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/corvane_*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB
	cp $(PACKAGE_DIR)/corvane_*.deb .

# lintian on the package: errors fail, warnings and notes are shown.
lint-package: package
	lintian --fail-on error --info $(PACKAGE_DIR)/corvane_*.deb

# The package unpacked into a temporary root: its programs run from there; `cmake --install` gives the same files.
test-package: package
	scripts/test-package $(PACKAGE_DIR)/corvane_*.deb $(PACKAGE_DIR)

bench: build
	@scripts/bench $(BUILD_DIR)

# libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer, built with clang.
fuzz: bootstrap
	@test -f $(BUILD_DIR)-fuzz/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(BUILD_DIR)-fuzz $(CMAKE_OPTIONS) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ_LIBFUZZER=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
	cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(CLANG_DIR) $(ASAN_DIR) $(PACKAGE_DIR)
