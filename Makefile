# Tattlebox: `make` builds, `make test` builds and runs every test,
# `make demo` runs a real host on a real plug-in through Tattlebox.
# Each target first installs the Debian packages it needs.

MAKEFLAGS  += --no-print-directory
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 300

export CCACHE_NOHASHDIR := 1
export CCACHE_BASEDIR := $(CURDIR)

SCREENS = $(BUILD)/screens

.PHONY: all deps configure build screens test test-sanitizers test-asan test-tsan bench fuzz demo sweep replay-sweep frames \
        strip install uninstall deb clean windows windows-i686 windows-dist

all: build

deps:
	@sh scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Where wine is installed, the Windows build is tested under it as well.
test: build
	@sh scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@if command -v wine >/dev/null 2>&1; then \
	    $(MAKE) windows && \
	    sh scripts/with-display.sh ctest --test-dir build-win64 --output-on-failure; \
	else \
	    echo "wine is not installed: the Windows build is not tested (sh scripts/deps.sh windows installs it)"; \
	fi

# The call log on its own, under AddressSanitizer+UBSan and under ThreadSanitizer.
test-sanitizers: test-asan test-tsan

test-asan: deps
	@cmake -S . -B build-asan -DTB_LOG_ONLY=ON -DTB_SANITIZE=address,undefined >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@ctest --test-dir build-asan --output-on-failure -j $(JOBS)

test-tsan: deps
	@cmake -S . -B build-tsan -DTB_LOG_ONLY=ON -DTB_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B build-bench -DTB_LOG_ONLY=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench -j $(JOBS) --target tb_bench
	@./build-bench/bench/tb_bench

# Each fuzzer runs for FUZZ_SECONDS.
fuzz: deps
	@cmake -S . -B build-fuzz -DTB_LOG_ONLY=ON -DTB_FUZZ=ON \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_state_file fuzz_call_format fuzz_decoders fuzz_recording
	@mkdir -p build-fuzz/corpus/state build-fuzz/corpus/format build-fuzz/corpus/decoders build-fuzz/corpus/recording
	./build-fuzz/fuzz/fuzz_state_file -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=30 build-fuzz/corpus/state fuzz/seeds/state
	./build-fuzz/fuzz/fuzz_call_format -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=30 build-fuzz/corpus/format
	./build-fuzz/fuzz/fuzz_decoders -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=30 build-fuzz/corpus/decoders
	./build-fuzz/fuzz/fuzz_recording -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=30 build-fuzz/corpus/recording fuzz/seeds/recording

# Pictures of the tab widget and of every page, for a look before a release.
screens: build
	@mkdir -p $(SCREENS)
	@sh scripts/with-display.sh $(BUILD)/tools/render_tabs/render_tabs $(SCREENS)
	@sh scripts/with-display.sh $(BUILD)/tools/render_pages/render_pages $(SCREENS)
	@ls $(SCREENS)

demo: build
	@sh scripts/with-display.sh sh scripts/demo.sh $(BUILD)

sweep: build
	@sh scripts/with-display.sh sh scripts/sweep.sh $(BUILD)

# Each plug-in's session recorded through Tattlebox and replayed against it alone.
replay-sweep: build
	@sh scripts/with-display.sh sh scripts/replay-sweep.sh $(BUILD)

# The crash report's frames in LOG, with their functions and source lines.
frames:
	@sh tools/resolve-frames.sh $(or $(LOG),$(error make frames LOG=path/to/Tattlebox.log))

# Installs the stripped library into VSTDIR: ~/.vst, or PREFIX/lib/vst with
# the user guide in PREFIX/share/doc/tattlebox. The debug information stays
# in $(BUILD)/Tattlebox.so.debug, which the installed library's debuglink names.
PREFIX  ?=
VSTDIR  ?= $(if $(PREFIX),$(PREFIX)/lib/vst,$(HOME)/.vst)
DOCDIR  ?= $(if $(PREFIX),$(PREFIX)/share/doc/tattlebox,$(VSTDIR))
STRIPPED = $(BUILD)/stripped/Tattlebox.so

strip: build
	@sh scripts/strip-library.sh $(BUILD)/Tattlebox.so $(STRIPPED) $(BUILD)/Tattlebox.so.debug

install: strip
	@mkdir -p $(DESTDIR)$(VSTDIR) $(DESTDIR)$(DOCDIR)
	@cp $(STRIPPED) $(DESTDIR)$(VSTDIR)/Tattlebox.so
	@cp $(BUILD)/Tattlebox.html $(DESTDIR)$(DOCDIR)/
	@echo "Installed $(DESTDIR)$(VSTDIR)/Tattlebox.so"

# Takes away what install put there; the state file (the user's settings) stays.
uninstall:
	@rm -f $(DESTDIR)$(VSTDIR)/Tattlebox.so $(DESTDIR)$(DOCDIR)/Tattlebox.html
	@if [ -n "$(PREFIX)" ]; then rmdir $(DESTDIR)$(DOCDIR) 2>/dev/null || true; fi
	@echo "Removed $(DESTDIR)$(VSTDIR)/Tattlebox.so"

# $(BUILD)/tattlebox_VERSION_ARCH.deb, installing /usr/lib/vst/Tattlebox.so.
deb: build
	@sh scripts/make-deb.sh $(BUILD) $(BUILD)

# $(BUILD)/tattlebox-VERSION-windows.zip: the 64-bit DLL at the top, the
# 32-bit one in 32-bit/, the user guide and the licence. One build after the
# other: both may install packages first, and each uses every core.
windows-dist:
	@$(MAKE) windows
	@$(MAKE) windows-i686
	@sh scripts/make-windows-zip.sh build-win64 build-win32 $(BUILD)

# Windows cross builds with mingw-w64: Tattlebox.dll in build-win64 (64-bit)
# or build-win32 (32-bit, build only). scripts/win-deps.sh first installs the
# cross packages and builds libpng and libjpeg-turbo for the target.
WINDEPS = build-windeps
define windows_build
	@sh scripts/win-deps.sh $(1) $(WINDEPS)/$(1)
	@cmake -S . -B $(2) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-$(1).cmake \
	    -DTB_WINDEPS_PREFIX=$(CURDIR)/$(WINDEPS)/$(1) -DTB_LINUX_BUILD=$(CURDIR)/$(BUILD) >/dev/null
	@cmake --build $(2) -j $(JOBS)
endef

windows:
	$(call windows_build,x86_64,build-win64)

windows-i686:
	$(call windows_build,i686,build-win32)

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz build-win64 build-win32 $(WINDEPS)
