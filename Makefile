# `make run` and `make test` set the machine up from nothing: they install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

SANITIZE_DIR ?= build-sanitize
# Each fuzz target's run (CI passes -max_total_time=10). Mutations stay under 4 KiB: the real kernel
# tables among the seeds are 130 KiB, which would make every input that large.
FUZZ_ARGS ?= -runs=1000000 -max_len=4096

.PHONY: deps configure build run test bench screenshot package format lint clean \
	configure-sanitize test-sanitize fuzz

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@$(BUILD_DIR)/quaymeter

test: build
	@bash scripts/run-tests.sh $(BUILD_DIR)

# A second tree built by clang with AddressSanitizer, LeakSanitizer and UBSan, plus the fuzz targets.
configure-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++-14 -DQUAYMETER_SANITIZE=ON >/dev/null

test-sanitize: configure-sanitize
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@bash scripts/run-sanitized-tests.sh $(SANITIZE_DIR)

fuzz: configure-sanitize
	@cmake --build $(SANITIZE_DIR) -j $(JOBS) --target fuzz_targets
	@bash scripts/run-fuzz.sh $(SANITIZE_DIR) $(FUZZ_ARGS)

bench: build
	@bash scripts/run-bench.sh $(BUILD_DIR)

screenshot: build
	@bash scripts/screenshot.sh $(BUILD_DIR)

package: build
	@cd $(BUILD_DIR) && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

lint: build
	@cmake --build $(BUILD_DIR) --target all_qmllint

clean:
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
