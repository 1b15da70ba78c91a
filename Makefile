# Thin wrapper over the CMake presets. `make test` and `make run` do all the
# set-up a fresh machine needs.
PRESET ?= release
BUILD_DIR := build
JOBS ?= $(shell nproc)

.PHONY: all deps build test asan run bench clean

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

run: build
	$(BUILD_DIR)/bin/vyrhost decode samples/scan_two_bands.h2m

clean:
	rm -rf $(BUILD_DIR)
