# The two commands a newcomer needs: `make run` and `make test`. Each one
# installs what is missing, configures and builds incrementally first.
BUILD_DIR := build
JOBS ?= $(shell nproc)

SANITIZE_DIR := build-sanitize
FUZZ_DIR := build-fuzz
FUZZ_SECONDS ?= 60
# How long each fuzz target runs: for example FUZZ_LIMIT=-runs=1000000.
FUZZ_LIMIT ?= -max_total_time=$(FUZZ_SECONDS)
SOAK_SECONDS ?= 600
SANITIZER_ENV := QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0

BENCH_DATA := $(BUILD_DIR)/bench-data

.PHONY: run test build deps test-sanitize fuzz soak bench

deps:
	@tools/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    tools/install-deps xvfb xauth && \
	    echo "No display found: starting the editor on a virtual display (xvfb-run -a)." && \
	    xvfb-run -a $(BUILD_DIR)/diagram-editor; \
	else \
	    $(BUILD_DIR)/diagram-editor; \
	fi

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
$(SANITIZE_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DDIAGRAM_SANITIZE=ON

test-sanitize: deps $(SANITIZE_DIR)/CMakeCache.txt
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZER_ENV) ctest --output-on-failure

# Random editing sessions with fresh seeds, under the sanitizers, for SOAK_SECONDS.
soak: deps $(SANITIZE_DIR)/CMakeCache.txt
	cmake --build $(SANITIZE_DIR) -j $(JOBS) --target tst_session
	cd $(SANITIZE_DIR) && $(SANITIZER_ENV) SESSION_SECONDS=$(SOAK_SECONDS) SESSION_SEED=random \
	    QTEST_FUNCTION_TIMEOUT=$$(( ($(SOAK_SECONDS) + 600) * 1000 )) ./tests/tst_session -maxwarnings 0

# Fuzzes the diagram reader, then the importer's script path, each for
# FUZZ_SECONDS; every failing input lands in tests/data/ (the reader's) or
# tests/data/ddl/ (the importer's), which the ordinary suite replays.
$(FUZZ_DIR)/CMakeCache.txt:
	tools/install-deps clang libclang-rt-14-dev
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIAGRAM_FUZZ=ON

fuzz: deps $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_reader fuzz_ddl
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/ddl-corpus $(CURDIR)/tests/data/ddl
	# A small quarantine keeps AddressSanitizer's freed memory from counting
	# against the 512 MiB limit, which is meant for what the reader holds.
	cd $(FUZZ_DIR) && $(SANITIZER_ENV) ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:quarantine_size_mb=32 \
	    ./tests/fuzz_reader $(FUZZ_LIMIT) \
	    -timeout=2 -rss_limit_mb=512 -artifact_prefix=$(CURDIR)/tests/data/ \
	    corpus $(CURDIR)/tests/fuzz/corpus
	# Graphviz's dot leaks a little of each packed layout, which would make
	# libFuzzer scan the heap for leaks after every input; leaks are looked
	# for once, at the end. Inputs up to 1 KiB keep it at some 450 a second.
	cd $(FUZZ_DIR) && $(SANITIZER_ENV) ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:quarantine_size_mb=32 \
	    ./tests/fuzz_ddl $(FUZZ_LIMIT) -detect_leaks=0 -max_len=1024 \
	    -timeout=10 -rss_limit_mb=1024 -artifact_prefix=$(CURDIR)/tests/data/ddl/ \
	    ddl-corpus $(CURDIR)/tests/fuzz/ddl-corpus

# Open, save, drag, select-all-delete, quit and peak memory at 1,000 and
# 10,000 entities, next to the toolkit floor; one table. Then diagram-import
# at 100 and 1,000 tables.
bench: build
	tools/install-deps libbenchmark-dev
	cmake -S . -B $(BUILD_DIR) > /dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS) --target bench-diagram diagram-generate
	mkdir -p $(BENCH_DATA)
	$(BUILD_DIR)/diagram-generate $(BENCH_DATA)/d20.diagram 20 2 25
	$(BUILD_DIR)/diagram-generate $(BENCH_DATA)/d1000.diagram 1000 4 1000
	$(BUILD_DIR)/diagram-generate $(BENCH_DATA)/d10000.diagram 10000 4 10000
	head -c -1 $(BENCH_DATA)/d10000.diagram > $(BENCH_DATA)/d10000-cut.diagram
	# The renderer's cases first, in a process of their own: a child's peak
	# memory counts the pages of the process it was forked from, which the
	# other cases leave at gigabytes.
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench-diagram $(BENCH_DATA) --benchmark_filter='BM_Render' 2>/dev/null
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench-diagram $(BENCH_DATA) --benchmark_filter='-BM_Render' 2>/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS) --target bench-import
	$(BUILD_DIR)/bench-import 2>/dev/null
