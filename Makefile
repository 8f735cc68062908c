# Thin wrapper around CMake.  `make run` builds a release and starts the engine;
# `make test` builds everything and runs the test suites with CTest.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all run test test-slow bench deps clean

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

bench: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine
	./$(BUILD)/engine bench

clean:
	rm -rf $(BUILD)
