# Entry points: `make run`, `make test`, `make bench`, `make package`. Each installs what is missing first.
BUILD     ?= build
ASAN      ?= build-asan
BUILDTYPE ?= RelWithDebInfo
WERROR    ?= OFF
JOBS      ?= $(shell nproc)
CONFIGURE  = cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) -DTONARE_WERROR=$(WERROR)

.PHONY: run test bench package build build-asan deps clean

deps:
	@scripts/install-deps

build: deps
	@$(CONFIGURE) -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The same suite once more, every file built with AddressSanitizer and
# UndefinedBehaviorSanitizer; the ThreadSanitizer run lives in the main build.
build-asan: deps
	@$(CONFIGURE) -B $(ASAN) -DTONARE_ASAN=ON >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

run: build
	./$(BUILD)/kurvil

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD)/bench/tonare_bench --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true

# The Debian package tonare_<version>_<arch>.deb, left in this folder for
# `sudo apt install ./tonare_*.deb`.
package: build
	@rm -f $(BUILD)/tonare_*.deb
	@cmake --build $(BUILD) --target package
	@cp $(BUILD)/tonare_*.deb .

clean:
	rm -rf $(BUILD) $(ASAN)
