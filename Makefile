# Thin wrapper over the CMake presets. `make test` and `make run` do all the
# set-up a fresh machine needs.
PRESET ?= release
BUILD_DIR := build
JOBS ?= $(shell nproc)

.PHONY: all deps build test asan run demo bench clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Micro-benchmarks in build/bench/bin/kel_bench; end-to-end figures from
# tools/bench-e2e.sh (100 MB logs against wc -l and awk, and peak memory),
# bench/python-bands.py (the Python package against a decode and the CSV way),
# bench/stats-speed.py (vyrhost stats against a decode), and one 1 GiB log
# (made once in $TMPDIR) with one and two jobs: bench/pieces.sh (decode,
# export, stats, report) and bench/python-pieces.py (bands()).
bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	tools/bench-e2e.sh build/bench/bin
	/usr/bin/python3 bench/python-bands.py build/bench
	/usr/bin/python3 bench/stats-speed.py build/bench/bin
	bash bench/pieces.sh build/bench/bin
	/usr/bin/python3 bench/python-pieces.py build/bench

run: build
	$(BUILD_DIR)/bin/vyrhost decode samples/scan_two_bands.h2m

# A small survey campaign in build/demo/ and its report page.
demo: build
	tools/make-demo.sh $(BUILD_DIR)/bin $(BUILD_DIR)/demo

clean:
	rm -rf $(BUILD_DIR)
