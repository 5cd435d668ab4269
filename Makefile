# The two commands of the README. Both install what is missing first.
#   make demo  - build and start Varnholt on the built-in virtual cameras
#   make test  - check the formatting, build every target once with warnings
#                as errors and run the whole suite on that build: clang,
#                optimised, under AddressSanitizer and UBSan, the libFuzzer
#                targets' short runs and the VM suites included
# For the edit-build-test loop:
#   make check - build with gcc (the release compiler, whose warnings count
#                here) with warnings as errors and run the suite without the
#                virtual machine's boots, plain only

JOBS ?= $(shell nproc)
# ccache hits across checkouts in other folders (CI clones afresh each run):
# paths below this folder are hashed relative to it.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
# ctest, run in a build folder: two slots per core, a core for each test
# that computes and room beside them for those that wait (cmake/TestCores.cmake).
SLOTS = $(shell echo $$(( 2 * $(JOBS) )))
CORES_JSON = {"version": {"major": 1, "minor": 0}, "local": [{"cores": [{"id": "0", "slots": $(SLOTS)}]}]}
CTEST = echo '$(CORES_JSON)' >cores.json && ctest --output-on-failure -j $(SLOTS) \
  --resource-spec-file cores.json

.PHONY: deps demo test check build build-strict build-test build-fuzz format-check \
  test-plain clean

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

# The build the suite runs on: one tree for every test, benchmark smoke run,
# fuzz target and VM suite. clang compiles it in about two thirds of gcc's
# time; -O1 keeps the sanitized tests quick, line tables are all the
# sanitizers' reports need, and asserts stay on. Every library carries
# libFuzzer's coverage, so the fuzz targets live in the same tree. Unity
# batches of eight files parse the Qt and GoogleTest headers once per batch
# (about a third less compile time); the plain build below compiles each
# file alone, so a file that leans on its batch still fails there. The
# program's libraries are shared libraries in this tree: a change relinks its
# own library, not the forty-odd programs that load it (the plain build links
# them statically, as the package ships them).
# Configured again only when this file is newer than the tree's cache: the
# build reconfigures itself when a CMakeLists.txt changes.
build-test: deps
	if [ ! -f build/test/CMakeCache.txt ] || [ Makefile -nt build/test/CMakeCache.txt ]; then \
	  CXX=clang++ cmake -S . -B build/test $(GEN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=ON \
	    "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DVARNHOLT_SANITIZE=address,undefined \
	    -DVARNHOLT_BUILD_FUZZ=ON -DVARNHOLT_WERROR=ON -DVARNHOLT_WINE_TESTS=ON \
	    -DVARNHOLT_SHARED_LIBRARIES=ON; fi
	cmake --build build/test -j $(JOBS)
build-fuzz: build-test

check: build-strict
	cd build/release && $(CTEST) -LE vm

demo: build
	env -u VARNHOLT_VIRTUAL_CAMERAS VARNHOLT_PLATFORM=virtual build/release/app/varnholt $(ARGS)

# The whole suite on the plain build (the VM suites too).
test-plain: build-strict
	cd build/release && $(CTEST)

test: format-check build-test
	cd build/test && $(CTEST)

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

# Every fuzz target from its seed corpus: a few thousand runs each in make
# test (tests fuzz_*), a million each in fuzz-long. Findings stop the run;
# see fuzz/run-fuzzers.sh.
.PHONY: fuzz-long
fuzz-long: build-test
	fuzz/run-fuzzers.sh 1000000
