# The two commands: `make demo` and `make test`. Both install what is missing
# (as root) or print the exact apt-get line, then build with CMake presets.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_BUILD = cmake --build --preset
# ccache: paths inside the checkout are hashed relative to it, so another clone
# of the same sources (CI's) reuses what this one compiled.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1

.PHONY: all deps deps-demo build build-asan build-demo build-windows demo test test-default test-asan test-windows fuzz bench format clean package package-deb package-msi

all: build

deps:
	@scripts/install-deps.sh

# `make demo` needs only the control's own build.
deps-demo:
	@scripts/install-deps.sh --demo

build/default/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset default

build/asan/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset asan

build/demo/build.ninja: CMakeLists.txt CMakePresets.json | deps-demo
	cmake --preset demo

build/win32/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset win32

build/win64/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset win64

build: deps build/default/build.ninja
	$(CMAKE_BUILD) default -j $(JOBS)

build-asan: deps build/asan/build.ninja
	$(CMAKE_BUILD) asan -j $(JOBS)

# Builds only what the demo runs (the module, corvo-sso, corvo-imclient and
# the browser host), without the tests.
build-demo: deps-demo build/demo/build.ninja
	$(CMAKE_BUILD) demo -j $(JOBS)

demo: build-demo
	build/demo/tools/corvo-sso demo

# The Windows builds: win32 (the shipping 32-bit build) and win64, each with
# its tests run under Wine (32-bit loader, wine64) in a private prefix; then the
# tool tests of the native build against both builds' programs.
build-windows: deps build/win32/build.ninja build/win64/build.ninja
	$(CMAKE_BUILD) win32 -j $(JOBS)
	$(CMAKE_BUILD) win64 -j $(JOBS)

test: test-default test-asan test-windows fuzz-smoke

# The installers (docs/install.md): the Debian package from the default build,
# the MSI from the win64 build's files (wixl runs on this machine).
package: package-deb package-msi

package-deb: build
	$(CMAKE_BUILD) default --target package

package-msi: build build-windows
	$(CMAKE_BUILD) default --target msi

test-default: build package-deb
	ctest --preset default

test-asan: build-asan
	ctest --preset asan

test-windows: build-windows build package-msi
	ctest --preset win64
	ctest --preset win32
	ctest --preset wine-tools

# Short bounded fuzzing runs (when clang's libFuzzer is installed).
fuzz-smoke: deps
	@scripts/fuzz-smoke.sh

# Fails when a program fails or a benchmark reports an error (and goes on to
# the next program first).
bench: build
	@status=0; out=$$(mktemp); \
	for b in build/default/bench/*_bench; do \
	  [ -x "$$b" ] || continue; \
	  { "$$b" || echo "$$b: exit status $$?"; } | tee "$$out"; \
	  if grep -q -e 'ERROR OCCURRED' -e ': exit status ' "$$out"; then \
	    echo "$$b: a benchmark reported an error" >&2; status=1; fi; \
	done; rm -f "$$out"; exit $$status

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
