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
	  fuzz_camera_description fuzz_state_file fuzz_window_state fuzz_v4l2_device fuzz_still_image \
	  fuzz_media_writer

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

# The whole fault matrix (every reached cell); CI runs its sample in the suite.
.PHONY: matrix
matrix: build-strict
	cd build/release && VARNHOLT_MATRIX=full QT_QPA_PLATFORM=offscreen ./tests/matrix/test_matrix

# Every file we save, its writer killed with SIGKILL 1000 times per kind of
# file (CI runs 50 per kind as part of the suite).
.PHONY: kill-saves
kill-saves: build-strict
	cd build/release && VARNHOLT_KILLS=1000 ctest --output-on-failure -V -R 'test_interrupted_saves\.'

# ThreadSanitizer: the camera, graph and window suites, then the full soak
# (1000 camera tests, 100 unplugs, 100 recordings). Suppressions only for
# libraries built without TSan (tests/tsan.supp says why, line by line).
TSAN_SUITES := test_camera test_recording test_graph test_app test_app_live
TSAN_ENV := QT_QPA_PLATFORM=offscreen \
  TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp second_deadlock_stack=1 history_size=4 die_after_fork=0"
.PHONY: build-tsan tsan soak stream-long

build-tsan: deps
	cmake -S . -B build/tsan $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_SANITIZE=thread \
	  -DVARNHOLT_BUILD_BENCH=OFF -DVARNHOLT_WERROR=ON
	cmake --build build/tsan -j $(JOBS) --target $(TSAN_SUITES) test_soak varnholt varnholt-vcam

tsan: build-tsan
	cd build/tsan && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS) \
	  -R '^($(subst $() ,|,$(TSAN_SUITES)))\.'
	$(MAKE) --no-print-directory soak

# The full soak under ThreadSanitizer; CI runs a short one in every suite.
soak: build-tsan
	$(TSAN_ENV) VARNHOLT_SOAK_SCALE=1 build/tsan/tests/soak/test_soak

# Ten minutes of the camera test at 1080p with another program changing
# values: memory, files and threads flat. CI runs 20 seconds of it.
stream-long: build-strict
	QT_QPA_PLATFORM=offscreen VARNHOLT_STREAM_SECONDS=600 build/release/tests/soak/test_stream_long

# Every fuzz target from its seed corpus: a few thousand runs in make test,
# a million each in fuzz-long. Findings stop the run; see fuzz/run-fuzzers.sh.
FUZZ_QUICK := profile_load profile_save camera_description state_file window_state still_image
.PHONY: fuzz-short fuzz-long
fuzz-short: build-fuzz
	fuzz/run-fuzzers.sh 3000 $(FUZZ_QUICK) v4l2_device media_writer

fuzz-long: build-fuzz
	fuzz/run-fuzzers.sh 1000000
