# Set-up, build and test entry points. Every target installs what is missing first.
BUILD ?= build
BENCH := $(abspath $(BUILD))/bench
CMAKE_COMMON := -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: deps build test demo bench screens smoke32 release clean

deps:
	@scripts/install-deps

# The toolchain goes in through the environment: CMake (3.21 and later) reads it on a
# tree's first configure only, and later configures do not warn that it went unused.
build: deps
	@CMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i686.cmake \
		cmake -S . -B $(BUILD)/win32 $(CMAKE_COMMON) >/dev/null
	@cmake --build $(BUILD)/win32
	@CMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-x86_64.cmake \
		cmake -S . -B $(BUILD)/win64 $(CMAKE_COMMON) -DQUORLEN_TESTS=ON -DQUORLEN_BENCH_DIR=$(BENCH) >/dev/null
	@cmake --build $(BUILD)/win64

test: build
	@scripts/run-tests $(BUILD)

bench: build
	@scripts/run-bench $(BUILD)

clean:
	@scripts/bench stop $(BENCH) 2>/dev/null || true
	rm -rf $(BUILD)

demo: build
	@scripts/demo $(BUILD)

smoke32: build
	@scripts/smoke32 $(BUILD)

# The 32-bit executables and SHA256SUMS in $(BUILD)/release, checked by a second build
# elsewhere; SIGN_PFX=file.pfx SIGN_PASS_FILE=file signs them.
release: deps
	@SIGN_PFX="$(SIGN_PFX)" SIGN_PASS_FILE="$(SIGN_PASS_FILE)" scripts/release $(BUILD)

screens: build
	@scripts/screens-messages $(BUILD)
	@scripts/screens-restart $(BUILD)

# The three screenshots README.md shows, taken from `make screens` without their
# timestamps, so that a picture changes in git only when what it shows changes.
DOC_SHOTS := message-en_US-3 message-ja_JP-1 restart-de_DE
.PHONY: docs
docs: screens
	@mkdir -p docs
	@for shot in $(DOC_SHOTS); do \
		convert $(BUILD)/screens/$$shot.png -strip -define png:exclude-chunks=date,time docs/$$shot.png \
			&& echo docs/$$shot.png || exit 1; \
	done
