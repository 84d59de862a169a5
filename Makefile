# Two entry points: `make run` builds and starts the application, `make test` builds and runs every
# test. Both install what they need first.
BUILD ?= build
BUILD_ASAN ?= build-asan
JOBS ?= $(shell nproc)

BUILD_RELEASE ?= build-release
BUILD_FUZZ ?= build-fuzz
BUILD_PACKAGE ?= build-package
FUZZ_SECONDS ?= 25

.PHONY: deps build run test build-asan test-asan build-release fuzz bench package clean

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "No display found: running Velquist on a virtual display (Xvfb)."; \
		xvfb-run -a $(BUILD)/src/velquist $(ARGS); \
	else \
		$(BUILD)/src/velquist $(ARGS); \
	fi

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

$(BUILD_ASAN)/build.ninja: | deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELQUIST_SANITIZE=ON

build-asan: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)

test-asan: build-asan
	ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

# The whole tree (application, tools, benchmarks, tests) as it is measured: optimisation brings
# warnings of its own, and they are errors too. Built, not run.
$(BUILD_RELEASE)/build.ninja: | deps
	cmake -S . -B $(BUILD_RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELQUIST_BENCH=ON -DVELQUIST_TESTS=ON

build-release: deps $(BUILD_RELEASE)/build.ninja
	cmake --build $(BUILD_RELEASE) -j $(JOBS)

# libFuzzer targets, built with clang under ASan and UBSan, each run for FUZZ_SECONDS.
$(BUILD_FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELQUIST_FUZZ=ON -DVELQUIST_TESTS=OFF

fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) --target fuzzers -j $(JOBS)
	fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELQUIST_BENCH=ON -DVELQUIST_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	bench/run-all.sh build-bench

# A Debian package of a Release build: $(BUILD_PACKAGE)/velquist_<version>_<arch>.deb.
package: deps
	cmake -S . -B $(BUILD_PACKAGE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELQUIST_TESTS=OFF
	cmake --build $(BUILD_PACKAGE) -j $(JOBS) --target package

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_RELEASE) $(BUILD_FUZZ) $(BUILD_PACKAGE) build-bench
