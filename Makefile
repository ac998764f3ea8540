# make build  builds everything into build/ (build/tolvane-sim among it)
# make test   installs what is missing, builds, and runs every test (the ones against later
#             desktops where scripts/desktop-chroots has made their chroots, which it says)
# make run    builds and starts the desktop program
# make package builds the Debian package and the Windows setup program into dist/
# make format rewrites the C++ sources in the project's .clang-format style (make test checks it)
# make screenshots  pictures of the desktop programs' windows in $(SHOTS), one script per backend
WERROR ?= OFF
BUILD ?= build
JOBS ?= 2
SHOTS ?= docs/screenshots

.PHONY: deps build test run bench package screenshots format clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_WERROR=$(WERROR) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

test: build
	@scripts/desktop-chroots status
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@if [ -x scripts/test-win32 ]; then scripts/test-win32; fi

run: build
	@scripts/run-desktop $(BUILD)

package: build
	@scripts/package-deb $(BUILD) dist
	@scripts/package-win32 dist

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	$(BUILD)/bench/tolvane-bench
	@if [ -x bench/desktop/desktop-bench ]; then bench/desktop/desktop-bench $(BUILD); fi
	@if [ -x bench/win32/run-bench ]; then bench/win32/run-bench; fi

screenshots: build
	scripts/screenshots/linux $(BUILD) $(SHOTS)
	@if [ -x scripts/screenshots/windows ]; then scripts/screenshots/windows $(SHOTS); fi

format: deps
	scripts/format

clean:
	rm -rf $(BUILD)
