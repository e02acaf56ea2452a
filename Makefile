# The two commands a player and a maintainer need: `make play` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: setup configure build play test bench bench-window clean

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

# The real window's cost under Xvfb: CPU share at scale 1 and 3, --tick 1 pace, memory.
bench-window: build
	bash bench/window_cpu.sh $(BUILD)/tonkalo $(BUILD)/data

clean:
	rm -rf $(BUILD)
