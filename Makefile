# The two commands of the README:
#   make run   builds the optimised program and starts it in scratch/
#   make test  builds and runs the whole test suite, plain and under the
#              sanitizers (address + undefined: everything; thread: the tests
#              that run classifications in threads at the same time)
# Missing tools (cmake, g++, GoogleTest, Google Benchmark, CLI11, nlohmann-json,
# and QEMU's user-mode emulator for the portability test) are installed from
# Debian's packages first (as root).  Without root: see docs/building.md.
#   make install [PREFIX=DIR]   the program as DIR/bin/talven (default ~/.local)

BUILD     := build
SANBUILD  := build-san
TSANBUILD := build-tsan
JOBS      ?= 2
SCRATCH   := scratch
PREFIX    ?= $(HOME)/.local

.PHONY: all run test deps build build-tests build-san build-tsan test-plain test-san test-tsan bench install clean

all: build

deps:
	@missing=""; \
	command -v cmake >/dev/null 2>&1 || missing="$$missing cmake"; \
	command -v g++   >/dev/null 2>&1 || missing="$$missing g++"; \
	[ -f /usr/include/gtest/gtest.h ] || missing="$$missing libgtest-dev"; \
	[ -f /usr/include/benchmark/benchmark.h ] || missing="$$missing libbenchmark-dev"; \
	[ -f /usr/include/CLI/CLI.hpp ] || missing="$$missing libcli11-dev"; \
	[ -f /usr/include/nlohmann/json.hpp ] || missing="$$missing nlohmann-json3-dev"; \
	[ "$$(uname -m)" != x86_64 ] || command -v qemu-x86_64 >/dev/null 2>&1 || missing="$$missing qemu-user"; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target talven

build-san: deps
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEN_SANITIZE=ON -DTALVEN_BENCHES=OFF >/dev/null
	cmake --build $(SANBUILD) -j $(JOBS) --target talven_tests

build-tsan: deps
	cmake -S . -B $(TSANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEN_TSAN=ON -DTALVEN_BENCHES=OFF >/dev/null
	cmake --build $(TSANBUILD) -j $(JOBS) --target test_threads

build-tests: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target talven_tests

test-plain: build-tests
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-san: build-san
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)

test-tsan: build-tsan
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSANBUILD) --output-on-failure -j $(JOBS) -R 'Threads'

test: test-plain test-san test-tsan

run: build
	@mkdir -p $(SCRATCH)
	cd $(SCRATCH) && ../$(BUILD)/talven

bench: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTALVEN_BENCHES=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target talven_benches
	@for b in $(BUILD)/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# The program under $(PREFIX)/bin (no root needed for a prefix of your own).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TSANBUILD)
