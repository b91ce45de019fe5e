# Thin wrapper over CMake presets. `make run` builds and starts the viewer; `make test` builds
# and runs every test. Both install what is missing first.
.PHONY: all deps configure build test run bench asan fuzz clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset release >/dev/null

build: configure
	@cmake --build --preset release

test: build
	@ctest --preset release

run: build
	@build/bin/quillmote

bench: build
	@cmake --build --preset release --target benchmarks

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

fuzz: deps
	@scripts/run-fuzzers 60

clean:
	@rm -rf build build-asan build-fuzz
