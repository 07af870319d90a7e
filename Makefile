# The front door. `make demo` and `make check` set everything up themselves.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all setup configure build check demo bench clean

all: build

setup:
	@bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# All tests: unit, simulator and end-to-end.
check: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo $(BUILD)

bench: build
	@bash scripts/bench $(BUILD)

clean:
	rm -rf $(BUILD)
