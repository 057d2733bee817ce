# The two commands of README.md, and what CI runs besides.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: run test bootstrap build sanitize fuzz bench ci clean

bootstrap:
	@./scripts/bootstrap

build: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD)

# Opens the viewer on two rides of the bundled demo recordings, a rider and a faster rival on
# the same course (File 1 and File 2); the demo folder is its program directory, where it
# keeps its settings.
run: build
	@QVTK_HOME=$(BUILD)/demo ./$(BUILD)/qvtk $(BUILD)/demo/demo_v2.qvd $(BUILD)/demo/demo_rival.qvd

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j2

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: bootstrap
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVTK_SANITIZE=ON \
		-DQVTK_BENCH=OFF >/dev/null
	@cmake --build build-asan
	@ctest --test-dir build-asan --output-on-failure -j2

# Builds the libFuzzer harnesses with clang and runs each for a short smoke along a fixed
# seed, after every input that once found a fault; `make fuzz FUZZ_SEED=0 FUZZ_SECONDS=600`
# explores anew.
FUZZ_SECONDS ?= 15
FUZZ_SEED ?= 1
fuzz: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQVTK_FUZZ=ON -DQVTK_TESTS=OFF -DQVTK_BENCH=OFF >/dev/null
	@cmake --build build-fuzz
	@./scripts/fuzz-smoke build-fuzz $(FUZZ_SECONDS) $(FUZZ_SEED)

bench: build
	@./$(BUILD)/bench_load --benchmark_counters_tabular=true
	@./$(BUILD)/bench_frame
	@./$(BUILD)/bench_render
	@./$(BUILD)/bench_graphs
	@./$(BUILD)/bench_envelope
	@./$(BUILD)/bench_tools
	@./$(BUILD)/bench_logger
	@./$(BUILD)/bench_course_map
	@./$(BUILD)/bench_csv --benchmark_counters_tabular=true
	@./$(BUILD)/bench_whole_frame
	@./$(BUILD)/bench_lap_compare

ci: test sanitize fuzz

clean:
	rm -rf $(BUILD) build-asan build-fuzz
