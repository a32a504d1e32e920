# Entry points: `make run`, `make test`, `make bench`, `make bench-load`, `make fuzz`, `make package`. Each installs what is missing first.
BUILD     ?= build
ASAN      ?= build-asan
BUILDTYPE ?= RelWithDebInfo
WERROR    ?= OFF
JOBS      ?= $(shell nproc)
# In CI (CI=true) a skipped test fails the run: a missing install step must not hide.
SKIPS_FAIL ?= $(if $(filter true,$(CI)),ON,OFF)
CONFIGURE  = cmake -S . -G Ninja -DCMAKE_BUILD_TYPE=$(BUILDTYPE) -DTONARE_WERROR=$(WERROR) -DTONARE_SKIPS_FAIL=$(SKIPS_FAIL)

# `make bench-load`: seconds of note per run, and the ordinary user of the second pass.
LOAD_SECONDS ?= 60
LOAD_USER    ?= nobody
# PipeWire's ALSA plugin, unpacked from Debian's pipewire-alsa: the package itself
# conflicts with pulseaudio and cannot be installed beside it.
PW_CACHE     = $(BUILD)/cache/pipewire-alsa
PW_PLUGIN    = $(PW_CACHE)/usr/lib/$(shell dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)/alsa-lib/libasound_module_pcm_pipewire.so
LOAD_BENCH   = ./$(BUILD)/bench/tonare_load_bench --seconds $(LOAD_SECONDS) --pipewire-plugin $(abspath $(PW_PLUGIN))

.PHONY: run test bench bench-load fuzz package build build-asan deps clean

deps:
	@scripts/install-deps

build: deps
	@$(CONFIGURE) -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The same suite once more, every file built with AddressSanitizer and
# UndefinedBehaviorSanitizer; the ThreadSanitizer run lives in the main build.
# The VM tier's kernel is fetched once, into the main build's folder.
build-asan: deps
	@$(CONFIGURE) -B $(ASAN) -DTONARE_ASAN=ON -DTONARE_VM_KERNEL_CACHE=$(abspath $(BUILD))/vm-kernel >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

run: build
	./$(BUILD)/kurvil

# The whole suite in one build folder, then every skipped test with its reason.
suite = status=0; (cd $(1) && ctest --output-on-failure -j $(JOBS)) || status=$$?; tests/skips/report $(1); exit $$status

test: build build-asan
	@$(call suite,$(BUILD))
	@$(call suite,$(ASAN))

bench: build
	./$(BUILD)/bench/tonare_bench --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true

# The real program under stress-ng through private PulseAudio and PipeWire servers:
# dropouts, CPU and real-time per driver and load. Run as root, it runs once more
# as $(LOAD_USER), for whom real-time is refused.
bench-load: deps
	@$(CONFIGURE) -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target kurvil tonare_load_bench
	@if [ ! -f $(PW_PLUGIN) ]; then \
		rm -rf $(PW_CACHE) && mkdir -p $(PW_CACHE) && \
		(cd $(PW_CACHE) && apt-get download -q pipewire-alsa >/dev/null && dpkg-deb -x pipewire-alsa_*.deb .); \
	fi
	$(LOAD_BENCH)
	@if [ "$$(id -u)" -eq 0 ]; then \
		echo "As $(LOAD_USER):"; \
		setpriv --reuid=$(LOAD_USER) --regid=$$(id -g $(LOAD_USER)) --clear-groups env HOME=/tmp $(LOAD_BENCH); \
	fi

# The engine fuzz target until stopped (Ctrl-C). Its corpus grows from the seeds
# in $(BUILD)/fuzz-corpus; a failing input lands in $(BUILD)/artifacts.
fuzz: deps
	@$(CONFIGURE) -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target engine_fuzz
	@mkdir -p $(BUILD)/fuzz-corpus $(BUILD)/artifacts
	@cp -n tests/fuzz/corpus/* $(BUILD)/fuzz-corpus/
	./$(BUILD)/tests/fuzz/clang/engine_fuzz -max_len=512 -timeout=10 -artifact_prefix=$(BUILD)/artifacts/engine_fuzz- $(BUILD)/fuzz-corpus

# The Debian package tonare_<version>_<arch>.deb, left in this folder for
# `sudo apt install ./tonare_*.deb`.
package: build
	@rm -f $(BUILD)/tonare_*.deb
	@cmake --build $(BUILD) --target package
	@cp $(BUILD)/tonare_*.deb .

clean:
	rm -rf $(BUILD) $(ASAN)
