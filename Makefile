# The two commands of the README: `make run` and `make test`. Both install what
# is missing first, so a fresh Debian 12 machine needs nothing else.
PRESET ?= dev
BUILD := build/$(PRESET)
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test package bench fuzz screenshots format clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: deps
	@bash scripts/test.sh

# A Debian package of an optimised build: build/package/lianshuo_<version>_<arch>.deb
package: deps
	@JOBS=$(JOBS) bash scripts/package.sh

bench:
	@$(MAKE) --no-print-directory PRESET=release build
	@bash scripts/bench.sh build/release

fuzz: deps
	@[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null
	@cmake --build build/fuzz -j $(JOBS)
	@bash scripts/fuzz.sh build/fuzz $${FUZZ_SECONDS:-60}

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
