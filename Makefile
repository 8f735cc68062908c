# Thin wrapper around CMake.  `make run` builds a release and starts the engine;
# `make test` builds everything and runs the test suites with CTest.
# `make install` (PREFIX, DESTDIR), `make uninstall` and `make deb` package the programs.
# `make EXE=PATH [CXX=COMPILER]` is the testing frameworks' build: see "exe" below.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local

.PHONY: all run test test-slow verify verify-quick bench deps clean install uninstall deb test-asan test-tsan fuzz fuzz-smoke pgo native exe

# Distributed testing frameworks build an engine with `make EXE=PATH` from the repository root,
# sometimes naming the compiler with CXX=..., and then run `PATH bench`. With EXE given, the
# default goal builds only the release `engine` and copies it to PATH (a relative PATH is taken
# from the repository root). Without CXX that is the usual build directory, so an existing
# build is reused. CMake reads the compiler only when a directory is first configured, so a
# compiler named with CXX (on the command line or in the environment) gets a directory of its
# own, BUILD-<compiler name>, configured without the test suites; it is configured again on
# every such build (a few seconds), so that another compiler of the same name is not missed.
ifneq ($(EXE),)
.DEFAULT_GOAL := exe
endif
ifneq ($(filter command line environment,$(origin CXX)),)
EXE_BUILD := $(BUILD)-$(notdir $(CXX))
EXE_CONFIGURE := cmake -S . -B $(EXE_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARROW_TESTS=OFF \
  -DCMAKE_CXX_COMPILER=$(CXX)
EXE_CONFIGURED :=
else
# An existing build directory is only brought up to date (the build tools are not checked
# again); a missing one is set up as `make` sets it up.
EXE_BUILD := $(BUILD)
EXE_CONFIGURED := $(if $(wildcard $(BUILD)/Makefile),,$(BUILD)/Makefile)
endif

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

# The oracles: a build whose search and evaluation check their fast values against slow twins,
# then every oracle program over its long run (verify) or a short one (verify-quick).
verify: | deps
	cmake -S . -B build-verify -DCMAKE_BUILD_TYPE=Release -DTARROW_VERIFY=ON -DTARROW_TESTS=OFF
	cmake --build build-verify -j $(JOBS)
	./tools/verify/run.sh build-verify

verify-quick: | deps
	cmake -S . -B build-verify -DCMAKE_BUILD_TYPE=Release -DTARROW_VERIFY=ON -DTARROW_TESTS=OFF
	cmake --build build-verify -j $(JOBS)
	./tools/verify/run.sh build-verify quick

# The CI gates. test-asan: every suite built with the address and undefined-behaviour
# sanitizers. test-tsan: the parallel program and its suite with the thread sanitizer, plus
# searches with several threads through pipes. Each builds only what it runs.
# The GoogleTest suites: every folder of tests/ with C++ sources (script tests need no build).
SUITES := $(sort $(patsubst tests/%/,test_%,$(dir $(filter-out tests/support/% tests/slow/%,$(wildcard tests/*/*.cpp)))))
SANITIZER_OPTIONS := ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$(CURDIR)/tools/tsan.supp

test-asan: | deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Release -DTARROW_SANITIZE=address
	cmake --build build-asan -j $(JOBS) --target engine engine-mp tbgen $(SUITES)
	$(SANITIZER_OPTIONS) ctest --test-dir build-asan --output-on-failure -j $(JOBS) -LE slow

test-tsan: | deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Release -DTARROW_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target engine-mp test_search_mp
	$(SANITIZER_OPTIONS) ./build-tsan/tests/test_search_mp
	$(SANITIZER_OPTIONS) ./tools/mp-pipe-check.sh ./build-tsan/engine-mp 2 4

# Fuzzing with libFuzzer (clang): each harness in fuzz/ runs FUZZ_SECONDS on its seed corpus
# in fuzz/corpus/ (new inputs go to build-fuzz/corpus-*, findings to build-fuzz/).
# fuzz-smoke is the 20-second pass per harness that CI runs.
FUZZ_SECONDS ?= 600
FUZZ_HARNESSES := uci fen learning tablebase
fuzz:
	./tools/install-deps.sh
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARROW_SANITIZE=fuzz -DTARROW_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_HARNESSES))
	for h in $(FUZZ_HARNESSES); do mkdir -p build-fuzz/corpus-$$h && \
	  ./build-fuzz/fuzz_$$h -max_total_time=$(FUZZ_SECONDS) -timeout=30 -rss_limit_mb=4096 \
	    -artifact_prefix=$(CURDIR)/build-fuzz/$$h- -print_final_stats=1 \
	    $(CURDIR)/build-fuzz/corpus-$$h $(CURDIR)/fuzz/corpus/$$h || exit 1; done

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=20

exe: $(EXE_CONFIGURED)
	@test -n "$(EXE)" || { echo "usage: make EXE=PATH [CXX=COMPILER]" >&2; exit 2; }
	$(EXE_CONFIGURE)
	cmake --build $(EXE_BUILD) -j $(JOBS) --target engine
	mkdir -p "$(dir $(abspath $(EXE)))"
	cp -f $(EXE_BUILD)/engine "$(abspath $(EXE))"

bench: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine
	./$(BUILD)/engine bench

install: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine engine-mp tarrowtb
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

deb:
	./tools/build-deb.sh $(BUILD)/deb


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
	rm -rf $(BUILD) $(PGO_BUILD) $(BUILD)-native build-asan build-tsan build-fuzz build-verify \
	  $(sort $(wildcard $(BUILD)-*g++* $(BUILD)-*clang*))
