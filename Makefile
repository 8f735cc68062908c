# Thin wrapper around CMake.  `make run` builds a release and starts the engine;
# `make test` builds everything and runs the test suites with CTest.
# `make install` (PREFIX, DESTDIR), `make uninstall` and `make deb` package the programs.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local

.PHONY: all run test test-slow bench deps clean install uninstall deb

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

install: $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS) --target engine engine-mp
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

deb:
	./tools/build-deb.sh $(BUILD)/deb

clean:
	rm -rf $(BUILD)
