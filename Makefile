# The two commands a newcomer needs: `make run` and `make test`. Each one
# installs what is missing, configures and builds incrementally first.
BUILD_DIR := build
JOBS ?= $(shell nproc)

.PHONY: run test build deps

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
