# `make run` and `make test` set the machine up from nothing: they install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench screenshot package format lint clean

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
	@rm -rf $(BUILD_DIR)
