# The two commands a player and a maintainer need: `make play` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
SOAK_PASSES ?= 2000000

# The sanitizers stop at the first fault; the leak check ignores only what the
# suppression file names (leaks inside system libraries). The windows draw without the
# GL driver there: it is unloaded before the leak check, and its leaks could then not
# be told apart from anyone's.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
  SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0

.PHONY: setup configure build play test test-asan fuzz soak bench clean

setup:
	@bash scripts/setup.sh test

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

play: build
	cd $(BUILD)/data && ../tonkalo $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The whole suite built with AddressSanitizer and UBSan, in a build folder of its own.
test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja $(CMAKE_FLAGS) -DTONKALO_SANITIZE=ON >/dev/null
	@$(SANITIZER_ENV) cmake --build $(ASAN_BUILD)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

# Each libFuzzer target for FUZZ_SECONDS from the seed corpus in fuzz/corpus.
fuzz: setup
	@bash scripts/fuzz.sh $(FUZZ_SECONDS) $(FUZZ_BUILD)

# The long soak of the built-in player (the suite runs a tenth of it).
soak: build
	cd $(BUILD)/tests && TONKALO_SOAK_PASSES=$(SOAK_PASSES) ./test_e2e_hostile --gtest_filter='Soak.*'

bench: build
	$(BUILD)/bench/tonkalo-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
