# The two commands: `make run` and `make test`. Both set up what they need.
JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure --progress -j$(JOBS)

.PHONY: all run test setup native sanitize windows fuzz-build dist \
        test-native test-sanitize test-windows test-stress test-station fuzz bench format clean

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

# Before the tests, every header is compiled on its own.
test-native: native
	@cmake --build --preset native --target header_check
	@cd build/native && $(CTEST)

test-sanitize: sanitize
	@cd build/sanitize && $(CTEST)

# All Wine programs of a test run share one virtual display (and so one
# desktop); tests that show windows take turns.
test-windows: windows
	@cmake --build --preset windows --target header_check
	@cd build/windows && ../../scripts/wine-session --prefix wineprefix $(CTEST)

# The Windows stage three times over, two tests at a time, with both
# processors kept busy by two loops: a test that passes only on an idle
# machine fails here.
test-stress: windows
	@scripts/test-stress 3

fuzz: fuzz-build
	@scripts/fuzz

# The package an administrator installs: dist/setup.exe with the help file and
# the recommended lock catalogue, which the native build's quarnctl writes.
dist: native windows
	@scripts/build-dist

# A station's life with that package, in a fresh Wine prefix.
test-station: dist
	@scripts/station-test

# Every test: native, under ASan and UBSan, the Windows build under Wine, the
# station test with the package, and a bounded fuzz run.
test: test-native test-sanitize test-windows test-station fuzz

bench: native windows
	@build/native/bench/catalogue_bench
	@cd build/windows && ../../scripts/wine-session --prefix wineprefix \
	    ../../scripts/wine-run --prefix wineprefix bench/watch_ticks_bench.exe

# The main job: build the package, install it into the project's Wine prefix
# and open the installed configurator where there is a display; without one
# (or with DEMO=1) walk a fresh installation through its main job instead.
run: dist
	@DEMO=$(DEMO) scripts/run-station

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build dist
