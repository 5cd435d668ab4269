# The two commands of the README. Both install what is missing first.
#   make demo  - build and start Varnholt on the built-in virtual cameras
#   make test  - build and run the whole test suite, plain and with sanitizers

JOBS ?= $(shell nproc)
# ccache hits across checkouts in other folders (CI clones afresh each run):
# paths below this folder are hashed relative to it.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)

.PHONY: deps demo test build build-asan test-plain test-asan clean

deps:
	@bash scripts/setup-deps.sh

build: deps
	cmake -S . -B build/release $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/release -j $(JOBS)

demo: build
	env -u VARNHOLT_VIRTUAL_CAMERAS VARNHOLT_PLATFORM=virtual build/release/app/varnholt $(ARGS)

test-plain: build
	cd build/release && ctest --output-on-failure -j $(JOBS)

build-asan: deps
	cmake -S . -B build/asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DVARNHOLT_SANITIZE=address,undefined \
	  -DVARNHOLT_BUILD_BENCH=OFF
	cmake --build build/asan -j $(JOBS)

test-asan: build-asan
	cd build/asan && ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan

clean:
	rm -rf build
