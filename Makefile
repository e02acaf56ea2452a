# The two commands a player and a maintainer need: `make play` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: setup configure build play test bench clean

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

bench: build
	$(BUILD)/bench/tonkalo-bench

clean:
	rm -rf $(BUILD)
