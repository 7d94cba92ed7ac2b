# Thin wrapper over CMake. `make demo` and `make test` do all set-up on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build test demo bench asan tsan fuzz clean format

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest -j$(JOBS) --output-on-failure --timeout 600

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS="-DNUV_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug"

tsan:
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/support/tsan.supp $${TSAN_OPTIONS:-}" \
	$(MAKE) --no-print-directory test BUILD=build-tsan CMAKE_FLAGS="-DNUV_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug"

# The libFuzzer targets in their own clang tree, each run FUZZ_SECONDS over its seed corpus.
FUZZ_SECONDS ?= 20
fuzz: bootstrap
	@cmake -S . -B build-fuzz -DNUV_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-fuzz -j$(JOBS)
	@bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
