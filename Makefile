# Tolvern: make run | make test | make bench | make fuzz
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 600

CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

.PHONY: setup configure build run test bench fuzz asan tsan clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/tolvern

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The tests again under AddressSanitizer and UndefinedBehaviorSanitizer; leaks that are a
# library's own are listed with their reasons in tests/lsan.supp.
asan: setup
	@cmake -S . -B build-asan $(CMAKE_FLAGS) -DTOLVERN_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# The device tests (and the platform's sound and mixer tests) under ThreadSanitizer: the
# preview, capture and audio threads beside the GUI thread.
TSAN_TESTS ?= ^(Preview|Capture|Sound|MixerLine|AudioTest|AudioJack|MixerThreads)
tsan: setup
	@cmake -S . -B build-tsan $(CMAKE_FLAGS) -DTOLVERN_TSAN=ON >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target test_devices test_platform test_editors
	cd build-tsan && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

bench: setup
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVERN_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@found=0; failed=""; for b in build-bench/bin/bench_*; do [ -x "$$b" ] || continue; found=1; \
	  echo "== $$b"; "$$b" || { rc=$$?; failed="$$failed $${b##*/} (exit $$rc)"; }; done; \
	  [ $$found = 1 ] || echo "no benchmarks built"; \
	  if [ -n "$$failed" ]; then echo "bench: failed:$$failed"; exit 1; fi

# Builds only the fuzzers, then runs each for FUZZ_SECONDS and prints its run count; a fuzzer
# that finds something prints the end of its log and leaves the input in build-fuzz/crashes/.
fuzz: setup
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLVERN_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzzers
	@mkdir -p build-fuzz/logs build-fuzz/crashes; failed=""; \
	for f in build-fuzz/bin/fuzz_*; do [ -x "$$f" ] || continue; n=$$(basename $$f); \
	  mkdir -p build-fuzz/corpus/$$n; echo "== $$n ($(FUZZ_SECONDS) s)"; \
	  if "$$f" -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build-fuzz/crashes/$$n- \
	      build-fuzz/corpus/$$n fuzz/corpus/$${n#fuzz_} >build-fuzz/logs/$$n.log 2>&1; then \
	    grep -E '^Done [0-9]+ runs' build-fuzz/logs/$$n.log; \
	  else tail -n 40 build-fuzz/logs/$$n.log; failed="$$failed $$n"; fi; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: found something:$$failed"; exit 1; fi

clean:
	rm -rf $(BUILD) build-asan build-tsan build-bench build-fuzz
