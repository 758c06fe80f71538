# The two commands: `make demo` and `make test`. Both install what is missing
# (as root) or print the exact apt-get line, then build with CMake presets.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_BUILD = cmake --build --preset

.PHONY: all deps build build-asan demo test test-default test-asan fuzz bench format clean

all: build

deps:
	@scripts/install-deps.sh

build/default/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset default

build/asan/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset asan

build: deps build/default/build.ninja
	$(CMAKE_BUILD) default -j $(JOBS)

build-asan: deps build/asan/build.ninja
	$(CMAKE_BUILD) asan -j $(JOBS)

demo: build
	build/default/tools/corvo-sso demo

test: test-default test-asan fuzz-smoke

test-default: build
	ctest --preset default

test-asan: build-asan
	ctest --preset asan

# Short bounded fuzzing runs (when clang's libFuzzer is installed).
fuzz-smoke: deps
	@scripts/fuzz-smoke.sh

bench: build
	@for b in build/default/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
