# The two commands a player and a maintainer need: `make play` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The browser build: Emscripten works in WEB_BUILD and writes the site to SITE.
WEB_BUILD ?= build-emscripten
SITE ?= build-web
# Debian's emcc finds its JavaScript tools there.
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
WEB_TEST_DEPS = tests/web/node_modules/.package-lock.json

.PHONY: setup configure build play test bench clean web serve-web

setup:
	@bash scripts/setup.sh test

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

play: build
	cd $(BUILD)/data && ../tonkalo $(ARGS)

test: build web $(WEB_TEST_DEPS)
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The site packs the pictures, sounds and music that the native build generates.
web: configure
	@cmake --build $(BUILD) --target tonkalo_data
	@test -f $(WEB_BUILD)/build.ninja || $(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WEB_BUILD) \
	  -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONKALO_DATA_DIR=$(abspath $(BUILD))/data \
	  -DTONKALO_SITE_DIR=$(abspath $(SITE)) >/dev/null
	@$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD)

serve-web: web
	node tests/web/serve.mjs $(SITE) 8000

# puppeteer-core for the browser tests, at the version the lock file pins.
$(WEB_TEST_DEPS): tests/web/package.json tests/web/package-lock.json
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error

bench: build
	$(BUILD)/bench/tonkalo-bench

clean:
	rm -rf $(BUILD) $(WEB_BUILD) $(SITE)
