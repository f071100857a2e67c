# Thin front over CMake: each target installs the Debian packages it needs first.
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run start test bench fuzz clean screenshots package lint windows windows-package test-windows \
  windows-tests

all: build

# The tests need GoogleTest and the X test libraries, which only the test targets install, so
# the program alone is built unless TESTS=ON. Every configure names each option, so that no
# target inherits another's (the bench's) from the cache.
TESTS ?= OFF
build:
	cmake -S . -B $(BUILD) -DBRUMO_TESTS=$(TESTS) -DBRUMO_BENCH=OFF
	cmake --build $(BUILD) -j $(JOBS)

# Starts the program in GAME_DIR, else here; it reads and writes brumo.ini in that directory.
# GAME_DIR is taken as typed, from the environment or make's command line: make never expands
# a $ in it, and the shell gets it in single quotes.
game_dir = '$(subst ','\'',$(or $(value GAME_DIR),.))'
run:
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no graphical display (DISPLAY is not set); run it from a desktop session" >&2; \
	  exit 1; \
	fi
	@if [ ! -d $(game_dir) ]; then \
	  echo "make run: GAME_DIR "$(game_dir)" is not a directory" >&2; \
	  exit 1; \
	fi
	@sh scripts/install-deps run
	@$(MAKE) --no-print-directory build
	@$(MAKE) --no-print-directory start

# The program already built, started as make run starts it.
start:
	cd $(game_dir) && exec "$(abspath $(BUILD))/brumo-setup"

test:
	@sh scripts/install-deps test
	@$(MAKE) --no-print-directory build TESTS=ON
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench:
	@sh scripts/install-deps bench
	cmake -S . -B $(BUILD) -DBRUMO_TESTS=ON -DBRUMO_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS) --target brumo-bench
	bash bench/bench.bash $(BUILD)

# libFuzzer on the save property, in its own build directory with clang++ and the sanitizers,
# for FUZZ_SECONDS on a scratch copy of fuzz/corpus; a failing input lands in $(FUZZ_BUILD)/.
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@sh scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DBRUMO_TESTS=OFF -DBRUMO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target save_property_fuzz
	rm -rf $(FUZZ_BUILD)/corpus && cp -r fuzz/corpus $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/fuzz/save_property_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) build-windows build-windows-x86_64

# The README's pictures, taken by the on-screen tests.
screenshots:
	@sh scripts/install-deps test
	@$(MAKE) --no-print-directory build TESTS=ON
	cd $(BUILD) && BRUMO_SCREENSHOT_DIR=$(CURDIR)/docs ctest -R '^screen_capture$$'

# A .deb in build/, to install with: apt-get install ./build/brumo-setup_*.deb
package:
	@sh scripts/install-deps package
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && cpack -G DEB

# Formatting and static checks, with the configs kept in the repository; the Windows files are
# checked by their own build (-Werror), not by clang-tidy, which has no Windows headers here.
lint:
	@sh scripts/install-deps lint
	@$(MAKE) --no-print-directory build TESTS=ON
	clang-format --dry-run --Werror app/*.cc app/*.h bindings/*.cc bindings/*.h storage/*.cc storage/*.h tests/*/*.cc \
	  bench/*.cc fuzz/*.cc
	clang-tidy --quiet -p $(BUILD) $(filter-out %_windows.cc,$(wildcard app/*.cc storage/*.cc)) \
	  bindings/*.cc tests/unit/*.cc tests/screen/*.cc fuzz/*.cc

# The Windows program, cross-built here: the patched Allegro once in its own folder, then
# build-windows/brumo-setup.exe (i686, GUI, static) from the same sources. WINDOWS_ARCH=x86_64
# makes the 64-bit build in build-windows-x86_64, which only the tests use (see test-windows).
WINDOWS_ARCH ?= i686
ifeq ($(filter i686 x86_64,$(WINDOWS_ARCH)),)
  $(error WINDOWS_ARCH is i686 (the players' build) or x86_64 (the tests' build), not '$(WINDOWS_ARCH)')
endif
WINDOWS_BUILD := $(if $(filter i686,$(WINDOWS_ARCH)),build-windows,build-windows-$(WINDOWS_ARCH))
WINDOWS_ALLEGRO := $(abspath $(WINDOWS_BUILD))/allegro
windows:
	@sh scripts/install-deps windows-$(WINDOWS_ARCH)
	bash windows/build-allegro.sh $(WINDOWS_ALLEGRO) $(WINDOWS_ARCH)
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=windows/toolchain-$(WINDOWS_ARCH)-mingw.cmake \
	  -DBRUMO_WIN_ALLEGRO=$(WINDOWS_ALLEGRO) -DCMAKE_INSTALL_PREFIX=$(abspath $(WINDOWS_BUILD))/install \
	  -DCMAKE_BUILD_TYPE=Release -DBRUMO_TESTS=$(TESTS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target brumo-setup

# brumo-setup-<version>-windows.zip: the .exe at the top, the players' text (CRLF) and the
# licences of everything the .exe contains.
VERSION := $(shell grep -o 'brumo-setup VERSION [0-9.]*' CMakeLists.txt | cut -d ' ' -f 3)
windows-package: windows
	@[ "$(WINDOWS_ARCH)" = i686 ] || { echo "windows-package: the players' zip holds the i686 build only" >&2; exit 1; }
	rm -rf $(WINDOWS_BUILD)/zip && mkdir -p $(WINDOWS_BUILD)/zip/licencias
	cp $(WINDOWS_BUILD)/brumo-setup.exe $(WINDOWS_BUILD)/zip/
	sed 's/$$/\r/' windows/LEEME.txt >$(WINDOWS_BUILD)/zip/LEEME.txt
	cp packaging/copyright $(WINDOWS_BUILD)/zip/licencias/brumo-setup.txt
	cp $(WINDOWS_ALLEGRO)/allegro-license.txt $(WINDOWS_BUILD)/zip/licencias/allegro.txt
	cp /usr/share/doc/mingw-w64-i686-dev/copyright $(WINDOWS_BUILD)/zip/licencias/mingw-w64-and-winpthreads.txt
	cp /usr/share/doc/gcc-mingw-w64-base/copyright $(WINDOWS_BUILD)/zip/licencias/gcc-runtime.txt
	cd $(WINDOWS_BUILD)/zip && rm -f ../brumo-setup-$(VERSION)-windows.zip && \
	  zip -q -X -r ../brumo-setup-$(VERSION)-windows.zip brumo-setup.exe LEEME.txt licencias
	@echo "$(WINDOWS_BUILD)/brumo-setup-$(VERSION)-windows.zip"

# The on-screen tests that make sense on Windows, against the .exe under Wine, on their own
# virtual display; the Wine prefix is made once in the build's wine/ folder. The players' i686
# .exe is tested where the kernel runs 32-bit programs, which Wine's 32-bit loader is; where it
# does not (IA-32 emulation off), the same sources and library patches built for x86_64 are
# tested under 64-bit Wine instead, and the output says so. Wine's 32-bit packages need the i386
# architecture: the wine set adds it (and says so), the README's commands never do.
test-windows:
	@sh scripts/install-deps test
	@sh scripts/install-deps wine
	@$(MAKE) --no-print-directory build TESTS=ON
	@if loader=$$(/usr/lib/wine/wine --version 2>&1); then \
	  $(MAKE) --no-print-directory windows-tests WINDOWS_ARCH=i686; \
	elif echo "$$loader" | grep -q 'Exec format error'; then \
	  echo "test-windows: this kernel runs no 32-bit programs, so Wine cannot run the players' i686 .exe here;" \
	    "testing the x86_64 build of the same sources (build-windows-x86_64) under 64-bit Wine"; \
	  $(MAKE) --no-print-directory windows-tests WINDOWS_ARCH=x86_64; \
	else \
	  echo "test-windows: Wine's 32-bit loader fails: $$loader" >&2; exit 1; \
	fi

# The unit tests run twice, the same files built for Linux and for Windows (under Wine, in the
# Windows group), both reading the library's keyboard table from the source the build unpacked.
# The menu and a capture run again on a 1920x1080 desktop, where the window is magnified twice.
windows_env = WINE_PREFIXES=$(abspath $(WINDOWS_BUILD))/wine BRUMO_WINE_ARCH=$(WINDOWS_ARCH) \
  BRUMO_SETUP=$(abspath $(WINDOWS_BUILD))/brumo-setup.exe SCREEN_HELPER=$(abspath $(BUILD))/tests/screen_helper \
  BRUMO_UNIT_TESTS=$(abspath $(WINDOWS_BUILD))/tests/unit_tests.exe BRUMO_ALLEGRO_SOURCE=$(WINDOWS_ALLEGRO) \
  BRUMO_UNIT_LOG=$(abspath $(WINDOWS_BUILD))/unit-wine.log BRUMO_SOURCE=$(CURDIR)
windows-tests:
	@$(MAKE) --no-print-directory windows TESTS=ON
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target unit_tests
	@BRUMO_ALLEGRO_SOURCE=$(WINDOWS_ALLEGRO) $(BUILD)/tests/unit_tests --gtest_brief=1 >$(WINDOWS_BUILD)/unit-linux.log 2>&1 || \
	  { cat $(WINDOWS_BUILD)/unit-linux.log; exit 1; }
	$(windows_env) bats tests/screen/windows.bats
	$(windows_env) SCREEN_SIZE=1920x1080 SCREEN_FACTOR=2 bats --filter '^under Wine: the menu' tests/screen/windows.bats
	@echo "test-windows: unit tests passed: $$(tr -d '\r' <$(WINDOWS_BUILD)/unit-wine.log | sed -n 's/.*PASSED.* \([0-9]*\) tests*\./\1/p') under Wine ($(WINDOWS_ARCH)), $$(sed -n 's/.*PASSED.* \([0-9]*\) tests*\./\1/p' $(WINDOWS_BUILD)/unit-linux.log) on Linux"
