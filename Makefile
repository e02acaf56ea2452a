# The two commands a player and a maintainer need, `make play` and `make test`, and the
# ones that install the game and package it.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local

configure = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null

.PHONY: game play build test bench install uninstall package clean

# Only the game and its data: what a player needs.
game:
	@bash scripts/setup.sh play
	@$(configure)
	@cmake --build $(BUILD) --target tonkalo tonkalo_data

play: game
	cd $(BUILD)/data && ../tonkalo $(ARGS)

# Everything, tests and benchmarks included.
build:
	@bash scripts/setup.sh test
	@$(configure)
	@cmake --build $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j2

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

clean:
	rm -rf $(BUILD)
