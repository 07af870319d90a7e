# The front door. `make demo` and `make check` set everything up themselves.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all setup configure build check check-format check-sanitize fuzz demo bench coverage clean package check-package

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

# The same tests built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target for FUZZ_SECONDS each.
SAN_BUILD ?= build-san
FUZZ_SECONDS ?= 30

$(SAN_BUILD)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(SAN_BUILD) -G Ninja -DTAVOR1_FUZZ=ON -DTAVOR1_BENCH=OFF

check-sanitize: setup $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	bash scripts/fuzz $(SAN_BUILD) $(FUZZ_SECONDS)

fuzz: setup $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)
	bash scripts/fuzz $(SAN_BUILD) $(FUZZ_SECONDS)

# Line coverage per library, from the whole test suite on an instrumented build.
COV_BUILD ?= build-coverage

$(COV_BUILD)/build.ninja:
	cmake -S . -B $(COV_BUILD) -G Ninja -DTAVOR1_COVERAGE=ON -DTAVOR1_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug

coverage: setup $(COV_BUILD)/build.ninja
	cmake --build $(COV_BUILD) -j $(JOBS)
	find $(COV_BUILD) -name '*.gcda' -delete
	cd $(COV_BUILD) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) -E 'soak_' > ctest.log || (tail -n 30 ctest.log; exit 1)
	bash scripts/coverage $(COV_BUILD)

# The lines changed since .clang-format came in follow it.
check-format: setup
	bash scripts/check-format

demo: build
	@bash scripts/demo $(BUILD)

bench: build
	@bash scripts/bench $(BUILD)

# The Debian package tavor1_VERSION_amd64.deb in the top folder, built in a
# tree of its own with the installation's paths (/usr, /etc, /var/lib).
PKG_BUILD ?= build-package

$(PKG_BUILD)/build.ninja:
	cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=/usr -DTAVOR1_TESTS=OFF -DTAVOR1_BENCH=OFF

package: setup $(PKG_BUILD)/build.ninja
	cmake --build $(PKG_BUILD) -j $(JOBS)
	cd $(PKG_BUILD) && cpack -G DEB
	cp $(PKG_BUILD)/tavor1_*_amd64.deb .
	@ls -1 tavor1_*_amd64.deb

# The package's contents, lintian's verdict and the unit's verification.
check-package: package
	bash scripts/check-package tavor1_*_amd64.deb

clean:
	rm -rf $(BUILD) $(PKG_BUILD)
