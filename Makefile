# Thin wrapper around CMake.  `make run` builds a release and starts the engine;
# `make test` builds everything and runs the test suites with CTest.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all run test test-slow bench deps clean pgo native

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

# Fast builds (see README): a profile-guided build trained on `engine bench`, and a build for
# this machine's processor only. NATIVE=ON adds -march=native to the profile-guided build.
PGO_BUILD ?= $(BUILD)-pgo
NATIVE ?= OFF
pgo: | deps
	rm -rf $(PGO_BUILD)
	cmake -S . -B $(PGO_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARROW_TESTS=OFF \
	  -DTARROW_NATIVE=$(NATIVE) -DTARROW_PGO=GENERATE
	cmake --build $(PGO_BUILD) -j $(JOBS) --target engine engine-mp
	$(PGO_BUILD)/engine bench > /dev/null
	$(PGO_BUILD)/engine-mp bench > /dev/null
	cmake -S . -B $(PGO_BUILD) -DTARROW_PGO=USE
	cmake --build $(PGO_BUILD) -j $(JOBS) --target engine engine-mp

native: | deps
	cmake -S . -B $(BUILD)-native -DCMAKE_BUILD_TYPE=Release -DTARROW_TESTS=OFF -DTARROW_NATIVE=ON
	cmake --build $(BUILD)-native -j $(JOBS) --target engine engine-mp

clean:
	rm -rf $(BUILD) $(PGO_BUILD) $(BUILD)-native
