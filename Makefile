# Top-level entry points. Every target installs what is missing first, so a
# fresh machine needs nothing but this file and apt-get.
JOBS        ?= 2
BUILD       ?= build
ASAN_BUILD  ?= build-asan
TSAN_BUILD  ?= build-tsan
FUZZ_BUILD  ?= build-fuzz
BENCH_BUILD ?= build-bench
# Per fuzz target; the targets run two at a time (JOBS), so five of them take
# about three rounds of this.
FUZZ_SECONDS ?= 60
GENERATOR   := -G Ninja

APT_PACKAGES := cmake ninja-build g++ clang libclang-rt-dev libxerces-c-dev \
                libboost-thread-dev libboost-chrono-dev libgtest-dev libgmock-dev \
                libbenchmark-dev

SAN_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
           LSAN_OPTIONS=report_objects=1
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps build test test-normal test-asan test-tsan test-fuzz demo bench format clean

all: build

deps:
	@missing=""; \
	for p in $(APT_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=$$( [ "$$(id -u)" -eq 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j$(JOBS)

# Every test twice (a normal build, then AddressSanitizer + UBSan with
# LeakSanitizer), the threaded tests under ThreadSanitizer, and each fuzzer for
# a bounded time. The sanitizer run comes last so that its CTest summary is the
# closing line.
test: deps test-fuzz test-tsan test-normal test-asan

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Built with clang, whose UBSan also catches out-of-range float-to-integer casts
# and integer division by zero.
test-asan: deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	  -DZEL_SANITIZE=ON -DZEL_BENCH=OFF -DZEL_WERROR=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && $(SAN_ENV) ctest --output-on-failure -j$(JOBS)

# Only the binaries with threads of their own.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_TSAN=ON -DZEL_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target threaded_tests
	cd $(TSAN_BUILD) && $(TSAN_ENV) ctest --output-on-failure -R '^(host|events)$$'

test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZEL_FUZZ=ON -DZEL_SANITIZE=ON -DZEL_BENCH=OFF -DZEL_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	cd $(FUZZ_BUILD) && ctest --output-on-failure -L fuzz -j$(JOBS)

demo: build
	@if [ -x $(BUILD)/bin/zelsh ] && [ -f examples/simdev/demo.zel ]; then \
	  cd examples/simdev && ../../$(BUILD)/bin/zelsh demo.zel || true; \
	else \
	  echo "The zelsh shell and the simdev demo are not built yet: 'make test' runs what exists."; \
	fi

bench: deps
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=ON
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@if [ -x bench/run.sh ]; then bench/run.sh $(BENCH_BUILD); else echo "No benchmarks yet."; fi

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
