# SPDX-License-Identifier: GPL-3.0-or-later
# Every build goes through CMake; this file only names the common runs.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# CI (CI=true in its environment) fails on any new warning in our own code.
CI_ARGS    := $(if $(CI),-DQUILLON_WERROR=ON)

.PHONY: all configure build test core demo bench asan tsan fuzz format package clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CI_ARGS) $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --no-tests=error --output-on-failure -j $(JOBS)

# The Qt-free core, the simulator and what tests them, configured as on a machine
# without Qt: a Qt include below the viewer fails this build.
core:
	$(MAKE) test BUILD=build-core \
	  CMAKE_ARGS="$(CMAKE_ARGS) -DQUILLON_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=TRUE"

# quillon_<version>_<arch>.deb in $(BUILD), for `apt install ./quillon_*.deb`.
package: configure
	cmake --build $(BUILD) -j $(JOBS) --target quillon quillon-dvrsim
	cd $(BUILD) && cpack -G DEB

demo: build
	./tools/demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# Sanitizer runs build into their own folders so they never mix with the normal build.
# UBSan stops the test at its first report, so undefined behaviour fails the run.
asan:
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 $(MAKE) test BUILD=build-asan BUILD_TYPE=Debug \
	  CMAKE_ARGS="-DCMAKE_CXX_FLAGS='-fsanitize=address,undefined -fno-omit-frame-pointer' -DQUILLON_BENCH=OFF"

# Every test program whose tests run a second thread (the network client and the
# simulator, the display's commit lock, message boxes asked for from another
# thread, the viewer's end-to-end tests) is marked THREADS in its CMakeLists and
# runs under TSan. Qt's own libraries are not built with TSan, so reports from
# inside them alone are suppressed (tests/tsan-qt.supp says why); a report that
# names our code still fails.
tsan:
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CI_ARGS) \
	  -DCMAKE_CXX_FLAGS='-fsanitize=thread' -DQUILLON_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target threaded_tests
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 history_size=7 suppressions=$(CURDIR)/tests/tsan-qt.supp" \
	  ctest --no-tests=error --output-on-failure -j $(JOBS) -L threads

# Each fuzzer runs for FUZZ_SECONDS from the seeds in fuzz/seeds and the test
# JPEGs; any finding (crash, sanitizer report, time-out, abort) fails the run and
# leaves its input in build-fuzz/findings. Every library is instrumented for
# coverage (fuzzer-no-link), so the fuzzers are guided by the code they test.
FUZZ_SECONDS ?= 60
FUZZERS = PacketParserFuzzer JpegDecoderFuzzer DirectoryFuzzer FramePacketFuzzer LoginStreamFuzzer
FUZZ_RUN = -max_total_time=$(FUZZ_SECONDS) -timeout=30 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/findings/
fuzz:
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CI_ARGS) \
	  -DCMAKE_CXX_FLAGS='-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined' \
	  -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZERS)
	mkdir -p build-fuzz/findings
	for c in parser jpeg directory frame login; do mkdir -p build-fuzz/corpus/$$c; done
	cp fuzz/seeds/parser/* build-fuzz/corpus/parser/
	cp tests/data/jpeg/*.jpg build-fuzz/corpus/jpeg/
	cp fuzz/seeds/directory/* build-fuzz/corpus/directory/
	cp fuzz/seeds/frame/* build-fuzz/corpus/frame/
	for j in tests/data/jpeg/*.jpg; do \
	  { printf '\001\006\002\000\000\000\000\000\000\000\000\000\000'; cat $$j; } \
	    > build-fuzz/corpus/frame/$$(basename $$j).fields; done
	cp fuzz/seeds/login/* build-fuzz/corpus/login/
	build-fuzz/fuzz/PacketParserFuzzer $(FUZZ_RUN) -max_len=8192 build-fuzz/corpus/parser
	build-fuzz/fuzz/JpegDecoderFuzzer $(FUZZ_RUN) build-fuzz/corpus/jpeg
	build-fuzz/fuzz/DirectoryFuzzer $(FUZZ_RUN) -max_len=4096 build-fuzz/corpus/directory
	build-fuzz/fuzz/FramePacketFuzzer $(FUZZ_RUN) build-fuzz/corpus/frame
	build-fuzz/fuzz/LoginStreamFuzzer $(FUZZ_RUN) -max_len=16384 build-fuzz/corpus/login

format:
	find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build build-core build-asan build-tsan build-fuzz
