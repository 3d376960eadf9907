# Conveniences over scripts/dev.sh and the build directories it makes.
PREFIX ?= /usr/local
SECONDS_PER_TARGET ?= 60

.PHONY: example test bench fuzz faults docs install format

example:
	scripts/dev.sh example

test:
	scripts/dev.sh test

bench:
	scripts/bench.sh $(BENCH_ARGS)

fuzz:
	scripts/fuzz.sh $(SECONDS_PER_TARGET)

faults:
	scripts/faults.py

docs:
	scripts/docs.sh

install:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTRENDLE_TESTS=OFF
	cmake --build build/release
	cmake --install build/release --prefix $(PREFIX)

format:
	clang-format -i src/*/*.cc src/*/*.h tests/*.cc tests/*.h fuzz/*.cc
