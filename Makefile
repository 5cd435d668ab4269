# The two commands of the README. Both install what is missing first.
#   make demo  - build and start Varnholt on the built-in virtual cameras
#   make test  - check the formatting, build every target with warnings as
#                errors (the fuzz targets with clang) and run the whole test
#                suite, plain and with sanitizers
# For the edit-build-test loop:
#   make check - build with warnings as errors and run the suite without the
#                virtual machine's boots, plain only

JOBS ?= $(shell nproc)
# ccache hits across checkouts in other folders (CI clones afresh each run):
# paths below this folder are hashed relative to it.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)

.PHONY: deps demo test check build build-strict build-asan build-fuzz format-check \
  test-plain test-asan clean

deps:
	@bash scripts/setup-deps.sh

build: deps
	cmake -S . -B build/release $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR=OFF
	cmake --build build/release -j $(JOBS)

build-strict: deps
	cmake -S . -B build/release $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR=ON
	cmake --build build/release -j $(JOBS)

format-check: deps
	scripts/check-format.sh

# libFuzzer targets (clang); running them is for longer sessions.
build-fuzz: deps
	CXX=clang++ cmake -S . -B build/fuzz $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVARNHOLT_BUILD_FUZZ=ON -DVARNHOLT_BUILD_TESTS=OFF -DVARNHOLT_BUILD_BENCH=OFF -DVARNHOLT_WERROR=ON
	cmake --build build/fuzz -j $(JOBS) --target fuzz_profile_load fuzz_profile_save \
	  fuzz_camera_description fuzz_state_file fuzz_window_state fuzz_v4l2_device fuzz_still_image

check: build-strict
	cd build/release && ctest --output-on-failure -j $(JOBS) -LE vm

demo: build
	env -u VARNHOLT_VIRTUAL_CAMERAS VARNHOLT_PLATFORM=virtual build/release/app/varnholt $(ARGS)

test-plain: build-strict
	cd build/release && ctest --output-on-failure -j $(JOBS)

build-asan: deps
	cmake -S . -B build/asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DVARNHOLT_SANITIZE=address,undefined \
	  -DVARNHOLT_BUILD_BENCH=OFF -DVARNHOLT_WERROR=ON
	cmake --build build/asan -j $(JOBS)

test-asan: build-asan
	cd build/asan && ctest --output-on-failure -j $(JOBS)

test: format-check build-fuzz fuzz-short test-plain test-asan

clean:
	rm -rf build

# Every fuzz target from its seed corpus: a few thousand runs in make test
# (the V4L2 target streams frames through threads, so a few hundred there),
# a million each in fuzz-long. Findings stop the run; see fuzz/run-fuzzers.sh.
FUZZ_QUICK := profile_load profile_save camera_description state_file window_state still_image
.PHONY: fuzz-short fuzz-long
fuzz-short: build-fuzz
	fuzz/run-fuzzers.sh 3000 $(FUZZ_QUICK)
	fuzz/run-fuzzers.sh 300 v4l2_device

fuzz-long: build-fuzz
	fuzz/run-fuzzers.sh 1000000
