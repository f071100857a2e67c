# Thin front over CMake: each target installs the Debian packages it needs first.
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run:
	@scripts/install-deps run
	@$(MAKE) --no-print-directory build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no graphical display (DISPLAY is not set); run it from a desktop session" >&2; \
	  exit 1; \
	fi
	./$(BUILD)/brumo-setup

test:
	@scripts/install-deps test
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD)
