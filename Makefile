# Set-up and everyday commands; each installs the Debian packages it needs when they are missing.
BUILD ?= build
ASAN_BUILD ?= build-sanitize
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all demo test test-sanitize bench install clean

all:
	tools/install-deps.sh build
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

demo: all
	tools/run-demo.sh $(BUILD)

test:
	tools/install-deps.sh test
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DZENTHARODE_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-sanitize:
	tools/install-deps.sh test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZENTHARODE_SANITIZE=ON -DZENTHARODE_BENCH=OFF -DZENTHARODE_WERROR=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS) -LE no-sanitize

bench: all
	$(BUILD)/bench/zentharode_bench

install: all
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
