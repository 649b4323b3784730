# Set-up, build, demo and tests. `make demo` and `make test` work on a fresh Debian machine.
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
TSAN_BUILD_DIR ?= build-tsan
# Warnings fail the build: the code is kept free of them.
CMAKE_FLAGS ?= -DKORVATH_WERROR=ON
JOBS ?= $(shell nproc)

.PHONY: all deps configure build program demo test sanitize tsan layers quality bench format clean golden-update

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

program: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target korvath

demo: program
	$(BUILD_DIR)/korvath examples/two_ellipses.pbm
	@echo
	@echo "Result image written to examples/two_ellipses_quvex++.pgm"

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer; any finding fails.
sanitize: deps
	@cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DKORVATH_SANITIZE=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The tests again under ThreadSanitizer, among them two searches running at once.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVATH_TSAN=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(TSAN_BUILD_DIR) -j $(JOBS)
	cd $(TSAN_BUILD_DIR) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Detection quality: precision, recall and F per kind of generated scene and on the real
# edge maps, with the options given in QUALITY_OPTIONS.
# Without QUALITY_OPTIONS, the three ways of running compared in the README: the default,
# --validate --refine and --robust; each prints recall by semi-minor axis and, on the real maps,
# the time per image per process and per library call.
quality: build
ifeq ($(strip $(QUALITY_OPTIONS)),)
	bench/quality/run_quality.sh $(BUILD_DIR)/korvath $(BUILD_DIR)
	bench/quality/run_quality.sh $(BUILD_DIR)/korvath $(BUILD_DIR) --validate --refine
	bench/quality/run_quality.sh $(BUILD_DIR)/korvath $(BUILD_DIR) --robust
else
	bench/quality/run_quality.sh $(BUILD_DIR)/korvath $(BUILD_DIR) $(QUALITY_OPTIONS)
endif

# No include may run upward between the layers of src/.
layers:
	@./scripts/check-layers.sh

bench: build
	$(BUILD_DIR)/bench/korvath_bench
	./bench/end_to_end.sh $(BUILD_DIR)

# Deliberately accepts the program's current output as the new golden reference.
golden-update: build
	rm -rf tests/golden/expected
	tests/golden/golden.sh $(BUILD_DIR)/korvath $(BUILD_DIR)/tests/korvath_golden_scenes tests/golden/expected

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(TSAN_BUILD_DIR)
