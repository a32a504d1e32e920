# Entry points: `make run`, `make test`, `make bench`. Each installs what is missing first.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
WERROR    ?= OFF
JOBS      ?= $(shell nproc)

.PHONY: run test bench build deps clean

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) -DTONARE_WERROR=$(WERROR) >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/kurvil

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/bench/tonare_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(BUILD)
