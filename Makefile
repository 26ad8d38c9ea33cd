# The two commands a newcomer needs: `make run` and `make test`.
# Everything else here serves them or the benchmarks and fuzzers.

JOBS      ?= $(shell nproc)
BUILD_RUN  = build/release
BUILD_TEST = build/test
BUILD_FUZZ = build/fuzz
CMAKE_GEN  = -G Ninja
PREFIX    ?= /usr/local

# CI treats warnings as errors, keeps only the debug information its reports read, runs the
# program's own code at -O1 and links with lld, which links a sanitized test binary in a fraction
# of the time the default linker takes.
ifneq ($(CI),)
  TEST_FLAGS = -DOXA_WERROR=ON -DOXA_LINE_TABLES_ONLY=ON -DOXA_OPTIMIZE_LAYERS=ON -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld
endif

.PHONY: run test test-e2e test-tsan tidy packages build install build-test bench fuzz clean

packages:
	bash scripts/install-packages.sh

build: packages
	cmake -S . -B $(BUILD_RUN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DOXA_TESTS=OFF -DOXA_BENCH=OFF
	cmake --build $(BUILD_RUN) -j $(JOBS)

# The release build into $(PREFIX) (under $(DESTDIR) when given): the programs in bin/, the
# run-time components in lib/oxanetmusic/, the desktop entry and the icon in share/.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_RUN) --prefix $(PREFIX)

# The browser needs an X display; without one, say how to get one and stop before building.
run:
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no display (DISPLAY is not set); on a machine without a desktop run: xvfb-run -a -s '-screen 0 1024x768x24' make run" >&2; \
	  exit 1; \
	fi
	$(MAKE) build
	$(BUILD_RUN)/Music/oxanetmusic

# The test build runs under AddressSanitizer and UndefinedBehaviorSanitizer.
build-test: packages
	cmake -S . -B $(BUILD_TEST) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DOXA_SANITIZE=ON -DOXA_BENCH=ON $(TEST_FLAGS)
	cmake --build $(BUILD_TEST) -j $(JOBS)

test: build-test
	cd $(BUILD_TEST) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 300 -LE e2e

# The whole program end to end on a private X server (a few minutes under the sanitizers).
test-e2e: build-test
	cd $(BUILD_TEST) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure --timeout 600 -L e2e

# The suites whose code runs on several threads (the scan driver, the favorites writer, the timers,
# the bus), under ThreadSanitizer in a build of their own.
BUILD_TSAN  = build/tsan
space      := $(subst ,, )
TSAN_SUITES = tests_scan_driver tests_library tests_framework tests_oxaipc tests_oxaipc_clients
test-tsan: packages
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DOXA_TSAN=ON -DOXA_BENCH=OFF \
	  -DOXA_LINE_TABLES_ONLY=ON -DOXA_OPTIMIZE_LAYERS=ON -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target $(TSAN_SUITES)
	cd $(BUILD_TSAN) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS) --timeout 300 -L "^($(subst $(space),|,$(TSAN_SUITES)))$$"

bench: packages
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DOXA_TESTS=OFF
	cmake --build build/bench -j $(JOBS)
	bash scripts/run-benchmarks.sh build/bench

# clang-tidy with the project's .clang-tidy over every source of the program and its tools (not the
# tests), on the release build's compile commands; fails on any finding. Several minutes on two
# cores, so CI leaves it to the developer.
TIDY_FOLDERS = platform rtl forms framework tableengine tags settings scan library OxaIPC playback graphics skin views Music tools components
tidy: build
	run-clang-tidy -p $(BUILD_RUN) -j $(JOBS) -quiet '^$(CURDIR)/($(subst $(space),|,$(TIDY_FOLDERS)))/' > $(BUILD_RUN)/tidy.log 2>&1; \
	  status=$$?; grep -E 'warning:|error:' $(BUILD_RUN)/tidy.log | sort -u; \
	  if [ $$status -ne 0 ] || grep -qE 'warning:|error:' $(BUILD_RUN)/tidy.log; then echo "make tidy: findings (full log: $(BUILD_RUN)/tidy.log)" >&2; exit 1; fi

fuzz: packages
	bash scripts/install-packages.sh scripts/packages-fuzz.txt
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXA_FUZZ=ON -DOXA_TESTS=OFF -DOXA_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

clean:
	rm -rf build
