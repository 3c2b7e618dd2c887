# Thin wrapper over CMake. `make run` and `make test` do all set-up on a fresh machine.
JOBS ?= $(shell nproc)
RUN_DIR   := build/run
TEST_DIR  := build/test
BENCH_DIR := build/bench

.PHONY: all run test bench deps build format clean

all: build

deps:
	@scripts/deps

$(RUN_DIR)/CMakeCache.txt: | deps
	@cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(RUN_DIR)/CMakeCache.txt
	@cmake --build $(RUN_DIR) -j $(JOBS)

run: build
	$(RUN_DIR)/bin/medrova $(ARGS)

$(TEST_DIR)/CMakeCache.txt: | deps
	@cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DMEDROVA_SANITIZE=ON >/dev/null

test: deps $(TEST_DIR)/CMakeCache.txt
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(BENCH_DIR)/CMakeCache.txt: | deps
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DMEDROVA_BENCH=ON >/dev/null

bench: deps $(BENCH_DIR)/CMakeCache.txt
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target benchmarks
	@for b in $(BENCH_DIR)/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b" || exit 1; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
