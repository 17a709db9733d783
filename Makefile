# Every build goes through CMake; this file only names the common runs.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all configure build test demo bench asan tsan fuzz format package clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --no-tests=error --output-on-failure -j $(JOBS)

# quillon_<version>_<arch>.deb in $(BUILD), for `apt install ./quillon_*.deb`.
package: configure
	cmake --build $(BUILD) -j $(JOBS) --target quillon quillon-dvrsim
	cd $(BUILD) && cpack -G DEB

demo: build
	./tools/demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# Sanitizer runs build into their own folders so they never mix with the normal build.
asan:
	$(MAKE) test BUILD=build-asan BUILD_TYPE=Debug \
	  CMAKE_ARGS="-DCMAKE_CXX_FLAGS='-fsanitize=address,undefined -fno-omit-frame-pointer' -DQUILLON_BENCH=OFF"

# The threads live in the network client and the simulator; their tests run under TSan.
TSAN_TARGETS = protocol_tests client_tests dvrsim_tests
tsan:
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS='-fsanitize=thread' -DQUILLON_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_TARGETS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --no-tests=error --output-on-failure -j $(JOBS) -L 'net|dvrsim'

# Each fuzzer runs for FUZZ_SECONDS; the testdata JPEGs seed the decoder's corpus.
FUZZ_SECONDS ?= 60
fuzz:
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS='-fsanitize=address,undefined' -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target PacketParserFuzzer JpegDecoderFuzzer
	mkdir -p build-fuzz/corpus/parser build-fuzz/corpus/jpeg
	cp tests/data/jpeg/*.jpg build-fuzz/corpus/jpeg/
	build-fuzz/fuzz/PacketParserFuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=8192 build-fuzz/corpus/parser
	build-fuzz/fuzz/JpegDecoderFuzzer -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus/jpeg

format:
	find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
