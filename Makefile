# The two commands a player and a maintainer need, `make play` and `make test`, and the
# ones that install the game, package it and build it for the browser.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local
# The browser build: Emscripten works in WEB_BUILD and writes the site to SITE.
WEB_BUILD ?= build-emscripten
SITE ?= build-web
# Debian's emcc finds its JavaScript tools there.
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
WEB_TEST_DEPS = tests/web/node_modules/.package-lock.json

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

configure = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null

.PHONY: game play configured build test test-asan fuzz soak bench bench-window install uninstall package \
  clean web serve-web

# Only the game and its data: what a player needs.
game:
	@bash scripts/setup.sh play
	@$(configure)
	@cmake --build $(BUILD) --target tonkalo tonkalo_data

play: game
	cd $(BUILD)/data && ../tonkalo $(ARGS)

# The test packages and the configured build folder, once per make run whichever
# targets need them.
configured:
	@bash scripts/setup.sh test
	@$(configure)

# Everything, tests and benchmarks included.
build: configured
	@cmake --build $(BUILD)

test: build web $(WEB_TEST_DEPS)
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j2

# The site packs the pictures, sounds and music that the native build generates.
web: configured
	@cmake --build $(BUILD) --target tonkalo_data
	@test -f $(WEB_BUILD)/build.ninja || $(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WEB_BUILD) \
	  -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONKALO_DATA_DIR=$(abspath $(BUILD))/data \
	  -DTONKALO_SITE_DIR=$(abspath $(SITE)) >/dev/null
	@$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD)

serve-web: web
	node tools/serve_site.mjs $(SITE) 8000

# puppeteer-core for the browser tests, at the version the lock file pins.
$(WEB_TEST_DEPS): tests/web/package.json tests/web/package-lock.json
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error

# The whole suite built with AddressSanitizer and UBSan, in a build folder of its own.
test-asan:
	@bash scripts/setup.sh test
	@cmake -S . -B $(ASAN_BUILD) -G Ninja $(CMAKE_FLAGS) -DTONKALO_SANITIZE=ON >/dev/null
	@$(SANITIZER_ENV) cmake --build $(ASAN_BUILD)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

# Each libFuzzer target for FUZZ_SECONDS from the seed corpus in fuzz/corpus.
fuzz:
	@bash scripts/setup.sh test
	@bash scripts/fuzz.sh $(FUZZ_SECONDS) $(FUZZ_BUILD)

# The long soak of the built-in player (the suite runs a tenth of it).
soak: build
	cd $(BUILD)/tests && TONKALO_SOAK_PASSES=$(SOAK_PASSES) ./test_e2e_hostile --gtest_filter='Soak.*'

bench: build
	$(BUILD)/bench/tonkalo-bench

# PREFIX (default /usr/local) and DESTDIR as usual: make install DESTDIR=/tmp/t PREFIX=/usr.
# Run through sudo after a build, it only copies: it leaves the build folder's set-up to
# the user who made it.
install:
	@test -f $(BUILD)/build.ninja || $(MAKE) --no-print-directory game
	@cmake --build $(BUILD) --target tonkalo tonkalo_data
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	@DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

# A Debian package of the game, built from a copy of the sources under $(BUILD)/package.
package:
	@bash scripts/setup.sh package
	@bash scripts/package.sh $(BUILD)/package

# The real window's cost under Xvfb: CPU share at scale 1 and 3, --tick 1 pace, memory.
bench-window: build
	bash bench/window_cpu.sh $(BUILD)/tonkalo $(BUILD)/data

clean:
	rm -rf $(BUILD) $(WEB_BUILD) $(SITE) $(ASAN_BUILD) $(FUZZ_BUILD)
