# Thin wrapper around CMake.  `make run` builds a release and starts the engine;
# `make test` builds everything and runs the test suites with CTest.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all run test test-slow bench deps clean test-asan test-tsan fuzz

all: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

$(BUILD)/Makefile: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

deps:
	@./tools/install-deps.sh

run: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine
	./$(BUILD)/engine

test: all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE slow

test-slow: all
	ctest --test-dir $(BUILD) --output-on-failure -L slow

# The CI gates. test-asan: every suite built with the address and undefined-behaviour
# sanitizers. test-tsan: the parallel program and its suite with the thread sanitizer, plus
# searches with several threads through pipes. Each builds only what it runs.
SUITES := $(patsubst tests/%/,test_%,$(filter-out tests/support/ tests/slow/,$(wildcard tests/*/)))
SANITIZER_OPTIONS := ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$(CURDIR)/tools/tsan.supp

test-asan: | deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Release -DTARROW_SANITIZE=address
	cmake --build build-asan -j $(JOBS) --target engine engine-mp $(SUITES)
	$(SANITIZER_OPTIONS) ctest --test-dir build-asan --output-on-failure -j $(JOBS) -LE slow

test-tsan: | deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Release -DTARROW_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target engine-mp test_search_mp
	$(SANITIZER_OPTIONS) ./build-tsan/tests/test_search_mp
	$(SANITIZER_OPTIONS) ./tools/mp-pipe-check.sh ./build-tsan/engine-mp 2 4

bench: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine
	./$(BUILD)/engine bench

clean:
	rm -rf $(BUILD)
