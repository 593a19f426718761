# The README's commands. Builds live under build/.
JOBS ?= $(shell nproc)
CMAKE ?= cmake
# Every build of ours treats warnings as errors.
CONFIGURE = $(CMAKE) -DCVIMP_WERROR=ON

.PHONY: all deps test demo bench tsan fuzz sample screenshot windows windows-test clean

all: test

deps:
	./scripts/install-deps

# Whole suite, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# The browser suites need an X display: with-display starts a private Xvfb
# when DISPLAY is unset. GTK and WebKit keep some allocations for the life
# of the process; scripts/lsan.supp names those libraries for LeakSanitizer.
# WebKit's web and network processes are its own executables, built without
# the sanitizers: the options they inherit have no effect on them.
test: deps
	$(CONFIGURE) -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DCVIMP_SANITIZE=address,undefined -DCVIMP_BENCH=ON
	$(CMAKE) --build build/test -j $(JOBS)
	cd build/test && LSAN_OPTIONS="suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0$${LSAN_OPTIONS:+:$$LSAN_OPTIONS}" \
	  $(CURDIR)/scripts/with-display ctest --output-on-failure -j $(JOBS)

# Release build, then the demo: the sample design packaged, served on
# 127.0.0.1 and imported by a "startImport" job.
demo: deps
	$(CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCVIMP_TESTS=OFF
	$(CMAKE) --build build/release -j $(JOBS) --target cvimp maxhost cvimp_module
	rm -rf build/release/downloads
	build/release/cli/cvimp demo --download-dir build/release/downloads -o build/release/demo.json --gltf build/release/demo.glb
	@echo "Host scene written to build/release/demo.json and build/release/demo.glb"

# Loader and import benchmark: cvimp inspect and cvimp import, and the reader
# in-process, against the decode floor, on a generated design of about 60 MB
# of scene text, the same with all geometry in one file, and the design grown
# 2 and 4 times; the Windows build's cvimp.exe under Wine against the Linux
# build on the first design; then the glTF writer and the viewport (upload
# and frames on Mesa's software renderer) against the import on it.
# Designs are kept in build/bench and written again only when the generator or
# its options change.
BENCH_DESIGNS = build/bench/designs
bench: deps windows
	$(CONFIGURE) -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DCVIMP_TESTS=OFF -DCVIMP_BENCH=ON
	$(CMAKE) --build build/bench -j $(JOBS) --target generate_design bench_loader bench_gltf bench_viewport cvimp
	build/bench/bench/generate_design $(BENCH_DESIGNS)/1x --reuse
	build/bench/bench/generate_design $(BENCH_DESIGNS)/1x-one-file --layout categories --reuse
	build/bench/bench/generate_design $(BENCH_DESIGNS)/2x --scale 2 --reuse
	build/bench/bench/generate_design $(BENCH_DESIGNS)/4x --scale 4 --reuse
	./scripts/wine-run $(CURDIR)/$(WINDOWS_BUILD)/wine --start
	build/bench/bench/bench_loader $(BENCH_DESIGNS)/1x/vr.vrscene --cvimp build/bench/cli/cvimp \
	  --windows $(WINDOWS_BUILD)/cli/cvimp.exe scripts/wine-run $(CURDIR)/$(WINDOWS_BUILD)/wine \
	  --one-file $(BENCH_DESIGNS)/1x-one-file/vr.vrscene \
	  --scale 2 $(BENCH_DESIGNS)/2x/vr.vrscene --scale 4 $(BENCH_DESIGNS)/4x/vr.vrscene
	build/bench/bench/bench_gltf $(BENCH_DESIGNS)/1x/vr.vrscene build/bench/design.glb
	build/bench/bench/bench_viewport $(BENCH_DESIGNS)/1x/vr.vrscene

# Concurrency suites under ThreadSanitizer (not part of `make test`): the
# scene loader's parallel loops, the import's mesh filling and the glTF
# writer's encoding on worker threads, and the page bridge's workers against
# the host's main thread (on a private Xvfb when there is no display; GLib's
# own synchronisation is invisible to the sanitizer: scripts/tsan.supp).
tsan: deps
	$(CONFIGURE) -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DCVIMP_SANITIZE=thread
	$(CMAKE) --build build/tsan -j $(JOBS) --target vrscene_concurrency_tests builder_concurrency_tests gltf_concurrency_tests bridge_concurrency_tests
	build/tsan/tests/vrscene_concurrency_tests
	build/tsan/tests/builder_concurrency_tests
	build/tsan/tests/gltf_concurrency_tests
	TSAN_OPTIONS="suppressions=$(CURDIR)/scripts/tsan.supp:halt_on_error=1" \
	  ./scripts/with-display build/tsan/tests/bridge_concurrency_tests --gtest_repeat=5

# Fuzzes every harness for FUZZ_SECONDS each (clang, libFuzzer, ASan +
# UBSan), from the seed corpora and dictionaries under tests/fuzz; what a
# run finds is kept in build/fuzz/corpus/NAME for the next one.
FUZZ_SECONDS ?= 120
FUZZ_TARGETS = scene_fuzz archive_fuzz job_fuzz page_fuzz
fuzz:
	./scripts/install-deps fuzz
	CC=clang CXX=clang++ $(CONFIGURE) -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCVIMP_FUZZ=ON \
	  -DCVIMP_SANITIZE=address,undefined
	$(CMAKE) --build build/fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	for target in $(FUZZ_TARGETS); do \
	  name=$${target%_fuzz}; mkdir -p build/fuzz/corpus/$$name build/fuzz/crashes/$$name || exit 1; \
	  LSAN_OPTIONS="suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0" \
	  UBSAN_OPTIONS="suppressions=$(CURDIR)/scripts/ubsan.supp:halt_on_error=1:print_stacktrace=1" \
	    build/fuzz/tests/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	    -artifact_prefix=build/fuzz/crashes/$$name/ -dict=tests/fuzz/$$name.dict \
	    build/fuzz/corpus/$$name tests/fuzz/corpus/$$name || exit 1; \
	done

# maxhost on a private Xvfb: Shift+K imports the served sample through the
# import window; the main window is saved as docs/maxhost.png.
screenshot:
	./scripts/install-deps screenshot
	$(CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCVIMP_TESTS=OFF
	$(CMAKE) --build build/release -j $(JOBS) --target cvimp maxhost cvimp_module
	./scripts/screenshot build/release docs/maxhost.png

# Windows: every headless library, cvimp.exe, cvimp-jobs.exe and the headless
# suites, cross-built with MinGW-w64 against static libraries that
# scripts/windows-deps builds from Debian's source packages (once, into a
# cache outside the clone); windows-test runs the suites under Wine, in a
# Wine prefix inside the build folder. The GTK and WebKit parts and the
# plug-in shell are Linux-only.
WINDOWS_BUILD = build/windows
windows:
	./scripts/install-deps windows
	prefix=$$(./scripts/windows-deps) && \
	  $(CONFIGURE) -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCVIMP_WINDOWS_DEPS="$$prefix" \
	    -DCMAKE_BUILD_TYPE=Release
	./scripts/wine-run $(CURDIR)/$(WINDOWS_BUILD)/wine --start
	$(CMAKE) --build $(WINDOWS_BUILD) -j $(JOBS)

# The Linux cvimp the Windows build's output is compared with.
windows-test: windows
	$(CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCVIMP_TESTS=OFF
	$(CMAKE) --build build/release -j $(JOBS) --target cvimp
	$(CMAKE) -S . -B $(WINDOWS_BUILD) -DCVIMP_LINUX_CVIMP=$(CURDIR)/build/release/cli/cvimp
	./scripts/wine-run $(CURDIR)/$(WINDOWS_BUILD)/wine --start
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)

# Rewrites the sample scene shipped in samples/room.
sample:
	$(CONFIGURE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCVIMP_TESTS=OFF
	$(CMAKE) --build build/release -j $(JOBS) --target make_sample
	build/release/tools/make_sample samples/room

clean:
	rm -rf build
