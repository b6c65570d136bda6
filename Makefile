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
PREFIX      ?= /usr/local
INSTALL_BUILD ?= build-install
GENERATOR   := -G Ninja

APT_PACKAGES := cmake ninja-build g++ clang libclang-rt-dev libxerces-c-dev \
                libboost-thread-dev libboost-chrono-dev libgtest-dev libgmock-dev \
                libbenchmark-dev libedit-dev python3 clang-tidy

# The peers the benchmarks measure beside the library: `make bench` alone installs
# them; the library, zelsh and the tests never need them.
BENCH_APT_PACKAGES := pkg-config libglib2.0-dev qtbase5-dev

SAN_ENV := ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
           LSAN_OPTIONS=report_objects=1
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# Installs those of the Debian packages $(1) that are missing.
define apt_install
	@missing=""; \
	for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=$$( [ "$$(id -u)" -eq 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

.PHONY: all deps build install test-install test test-share test-normal test-asan test-tsan test-fuzz tidy mutants demo bench format clean

all: build

deps:
	$(call apt_install,$(APT_PACKAGES))

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j$(JOBS)

# The libraries, headers, zelsh, simdev and the CMake and pkg-config files
# into PREFIX, which may be moved afterwards.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A product author's road: install into a fresh prefix, move the prefix (it
# must not care where it lives), build examples/psu against the moved package
# alone, run its golden script in the installed zelsh, and lint the installed
# property files with it.
test-install: build
	rm -rf $(INSTALL_BUILD)
	cmake --install $(BUILD) --prefix $(INSTALL_BUILD)/staged
	mv $(INSTALL_BUILD)/staged $(INSTALL_BUILD)/prefix
	cmake -S examples/psu -B $(INSTALL_BUILD)/psu $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_PREFIX_PATH=$(abspath $(INSTALL_BUILD)/prefix) -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror"
	cmake --build $(INSTALL_BUILD)/psu -j$(JOBS)
	cd examples/psu && ../../$(INSTALL_BUILD)/prefix/bin/zelsh \
	  --product ../../$(INSTALL_BUILD)/psu/libpsu.so psu.zel >../../$(INSTALL_BUILD)/psu.out 2>&1; \
	  test $$? -eq 1 || { echo "FAIL: psu.zel exit status"; exit 1; }
	diff -u examples/psu/psu.out $(INSTALL_BUILD)/psu.out
	for f in $(INSTALL_BUILD)/prefix/share/zelobjsys/simdev/*.xml examples/psu/psu.xml; do \
	  $(INSTALL_BUILD)/prefix/bin/zelsh --lint $$f || exit 1; done
	@echo "test-install: the installed package builds and runs a product of its own"

# Every test twice (a normal build, then AddressSanitizer + UBSan with
# LeakSanitizer), the threaded tests under ThreadSanitizer, and each fuzzer for
# a bounded time. The sanitizer run comes last so that its CTest summary is the
# closing line.
test: deps test-share tidy test-fuzz test-tsan test-install test-normal test-asan

# Lines of test code (tests/, fuzz/) against lines of code (include/, src/,
# tools/, examples/), C++ sources and headers; golden shell scripts are not
# counted. The project keeps the share between a quarter and a third.
lines = $$(find $(1) \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l)
test-share:
	@code=$(call lines,include src tools examples); tests=$(call lines,tests fuzz); \
	  echo "test share: $$tests lines of tests / $$code lines of code = $$((100 * tests / code)) %"

# Every source, test and benchmark under the checks of .clang-tidy; any
# finding fails. The build is gcc's: clang does not know its link-time
# optimisation flags, which are no finding.
tidy: build
	run-clang-tidy -p $(BUILD) -j $(JOBS) -quiet -extra-arg=-Wno-ignored-optimization-argument \
	  '$(CURDIR)/(src|tools|examples|tests|bench)/' \
	  >$(BUILD)/tidy.log 2>&1 || { cat $(BUILD)/tidy.log; exit 1; }
	@if grep -E 'warning:|error:' $(BUILD)/tidy.log; then exit 1; fi
	@echo "tidy: clean"

# Nightly-style, not part of `make test`: one line of the sources changed at a
# time (MUTANTS_COUNT of them, the same ones for the same MUTANTS_SEED and
# sources), rebuilt and tested; prints the mutation score. The tool lives
# beside the checkout.
MUTANTS       ?= ../shared/tools/mutants.py
MUTANTS_COUNT ?= 150
MUTANTS_SEED  ?= 2026
MUTANTS_BUILD ?= build-mutants
mutants: deps
	@test -f $(MUTANTS) || { echo "mutants: $(MUTANTS) not found (set MUTANTS=path)"; exit 2; }
	cmake -S . -B $(MUTANTS_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DZEL_BENCH=OFF
	python3 $(MUTANTS) --build $(MUTANTS_BUILD) --count $(MUTANTS_COUNT) --seed $(MUTANTS_SEED) \
	  --files 'src/*.cpp' --files 'tools/zelsh/*.cpp' --files 'examples/simdev/*.cpp' \
	  --work $(abspath $(MUTANTS_BUILD))/work --json $(MUTANTS_BUILD)/mutants.json \
	  --test-cmd "ctest -j$(JOBS) --timeout 120 -E fuzz --stop-on-failure" | tee $(MUTANTS_BUILD)/mutants.log
	@tail -1 $(MUTANTS_BUILD)/mutants.log

# Then each unit binary once more, shuffled and twice over, so that a test
# leaning on another's leftovers or on state of its own earlier run fails.
test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@cd $(BUILD) && for t in bin/*_tests; do \
	  echo "$$t --gtest_shuffle --gtest_repeat=2"; \
	  ./$$t --gtest_shuffle --gtest_repeat=2 --gtest_brief=1 >$$t.shuffled.log 2>&1 || \
	    { cat $$t.shuffled.log; exit 1; }; \
	done

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
	cd $(TSAN_BUILD) && $(TSAN_ENV) ctest --output-on-failure -R '^(host_services|host_events|events)$$'

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
	$(call apt_install,$(BENCH_APT_PACKAGES))
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=ON -DZEL_BENCH_PEERS=ON
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target zel_bench
	@if [ -x bench/run.sh ]; then bench/run.sh $(BENCH_BUILD); else echo "No benchmarks yet."; fi

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(INSTALL_BUILD) \
	  $(MUTANTS_BUILD)
