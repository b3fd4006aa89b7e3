# Set-up and everyday commands; each installs the Debian packages it needs when they are missing.
BUILD ?= build
ASAN_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all demo test test-sanitize test-tsan bench install clean

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

# The two-thread tests of the shell and engine under ThreadSanitizer: only what they need is built.
test-tsan:
	tools/install-deps.sh test
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZENTHARODE_TSAN=ON -DZENTHARODE_BENCH=OFF -DZENTHARODE_WERROR=ON
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target threads_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -L threads

bench: all
	$(BUILD)/bench/zentharode_bench

install: all
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
