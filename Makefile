# Thin wrapper over CMake. `make demo` and `make test` do all set-up on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build test demo bench asan tsan clean format

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

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan
