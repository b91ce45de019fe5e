# Thin wrapper over CMake presets. `make run` builds and starts the viewer; `make test` builds
# and runs every test. Both install what is missing first. `make install PREFIX=DIR` installs
# into DIR (default /usr/local); `make package` builds the Debian package into build/package.
.PHONY: all deps configure build test run install package bench asan fuzz clean

PREFIX ?= /usr/local

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

install: build
	@cmake --install build --prefix "$(PREFIX)"

package: build
	@cmake --build --preset release --target package

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
