# The two commands: `make run` and `make test`. Both set up what they need.
JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure --progress -j$(JOBS)

.PHONY: all run test setup native sanitize windows fuzz-build \
        test-native test-sanitize test-windows fuzz bench format clean

all: native windows

setup:
	@scripts/setup

native: setup
	@cmake --preset native >/dev/null
	@cmake --build --preset native

sanitize: setup
	@cmake --preset native-sanitize >/dev/null
	@cmake --build --preset native-sanitize

windows: setup
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

fuzz-build: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz

test-native: native
	@cd build/native && $(CTEST)

test-sanitize: sanitize
	@cd build/sanitize && $(CTEST)

# All Wine programs of a test run share one virtual display (and so one
# desktop); tests that show windows take turns.
test-windows: windows
	@cd build/windows && ../../scripts/wine-session --prefix wineprefix $(CTEST)

fuzz: fuzz-build
	@scripts/fuzz

# Every test: native, under ASan and UBSan, the Windows build under Wine, and
# a bounded fuzz run.
test: test-native test-sanitize test-windows fuzz

bench: native windows
	@build/native/bench/catalogue_bench
	@cd build/windows && ../../scripts/wine-session --prefix wineprefix \
	    ../../scripts/wine-run --prefix wineprefix bench/watch_ticks_bench.exe

# The main job: build the Windows programs and start the configurator under
# Wine (a window where there is a display, otherwise a screenshot).
run: windows
	@scripts/run-configurator

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
