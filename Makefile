# Thin wrapper over CMake + Ninja. `make test` and `make run` do all set-up.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
WEB_BUILD  ?= build-web
DEB_BUILD  ?= build-deb
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)

.PHONY: all deps build test asan-test tsan-test run bench fuzz format clean docs-images import-gallery \
	install consumer-test docs web web-plain web-test deb

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPP_SANITIZE=ON -DPP_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The runtime, engine and drawing tests under ThreadSanitizer, with worker threads at work;
# the exhaustive one-thread checks of the sine, cosine and vertices and the day-long soak are
# left to the other builds (minutes each under TSan, with no second thread in them).
tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPP_TSAN=ON -DPP_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/platform/third_party_races.supp $(TSAN_OPTIONS)" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L 'runtime|particles|geometry|draw|lib' \
	    -E 'QuadCosSin|QuadVertices|Soak'

# The player, the libraries, their headers, CMake package, pkg-config file and the scene's
# Data/ under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The library as a host sees it: installed into a scratch prefix, the examples built against
# it and run headless (tools/consumer-test).
consumer-test: build
	tools/consumer-test $(BUILD)

# Debian packages of the library, its development files and the player (cmake/packages.cmake)
# in $(DEB_BUILD)/, checked by lintian, then unpacked into a scratch root (nothing is installed
# on the system) and used there by the consumer test.
deb: deps
	@scripts/install-deps.sh --deb
	cmake -S . -B $(DEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DPP_PACKAGES=ON -DPP_TESTS=OFF -DPP_BENCH=OFF -DPP_TOOLS=OFF $(CMAKE_ARGS) >/dev/null
	cmake --build $(DEB_BUILD) -j $(JOBS)
	rm -f $(DEB_BUILD)/*.deb
	cd $(DEB_BUILD) && cpack -G DEB >/dev/null
	lintian --fail-on error,warning --suppress-tags-from-file scripts/lintian-overrides \
	  $(DEB_BUILD)/*.deb
	tools/consumer-test --debs $(DEB_BUILD)

# The API reference from the public headers into $(BUILD)/docs/html; an undocumented public
# symbol fails it.
docs:
	@scripts/install-deps.sh --docs
	mkdir -p $(BUILD)/docs
	PP_DOCS_OUT=$(BUILD)/docs doxygen docs/Doxyfile

# Only the player: the tests are built by `make test`.
run: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target particleplayer
	@scripts/run.sh $(BUILD)/app/particleplayer

# Every benchmark three times, medians reported; each prints its figure beside its baseline.
BENCH_ARGS ?= --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" $(BENCH_ARGS); done

fuzz:
	@scripts/install-deps.sh --fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPP_FUZZ=ON -DPP_TESTS=OFF -DPP_BENCH=OFF \
	  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# The pictures of docs/effect-format.md, drawn by the player's own `render`.
docs-images: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target particleplayer
	tools/docs-images $(BUILD)/app/particleplayer

# docs/import-gallery.md: the shared import samples as `render` draws them, with the findings.
import-gallery: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target particleplayer
	tools/import-gallery $(BUILD)/app/particleplayer

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The player in the browser: emscripten (Debian's), libpng, zlib and Dear ImGui compiled from
# their Debian source packages into $(WEB_BUILD)/deps, the page in $(WEB_BUILD)/ (index.html, .js, .wasm,
# Data/). Emscripten's tools find acorn in Debian's Node.js module folder.
WEB_PREFIX = $(CURDIR)/$(WEB_BUILD)/deps/prefix
web:
	@scripts/install-deps.sh --web
	scripts/build-web-deps.sh $(WEB_BUILD)
	NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WEB_BUILD)/cmake -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DPP_TESTS=OFF -DPP_BENCH=OFF \
	  -DPP_WEB_OUT=$(CURDIR)/$(WEB_BUILD) \
	  -DPNG_LIBRARY=$(WEB_PREFIX)/lib/libpng.a -DPNG_PNG_INCLUDE_DIR=$(WEB_PREFIX)/include \
	  -DZLIB_LIBRARY=$(WEB_PREFIX)/lib/libz.a -DZLIB_INCLUDE_DIR=$(WEB_PREFIX)/include \
	  -DPP_WEB_IMGUI_PREFIX=$(WEB_PREFIX) $(CMAKE_ARGS) >/dev/null
	NODE_PATH=/usr/share/nodejs cmake --build $(WEB_BUILD)/cmake -j $(JOBS)

# The same page without WebAssembly SIMD in $(WEB_BUILD)/plain, whose frame times web-test
# prints beside the page's.
web-plain: web
	NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WEB_BUILD)/cmake-plain -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DPP_TESTS=OFF -DPP_BENCH=OFF -DPP_WEB_SIMD=OFF \
	  -DPP_WEB_OUT=$(CURDIR)/$(WEB_BUILD)/plain \
	  -DPNG_LIBRARY=$(WEB_PREFIX)/lib/libpng.a -DPNG_PNG_INCLUDE_DIR=$(WEB_PREFIX)/include \
	  -DZLIB_LIBRARY=$(WEB_PREFIX)/lib/libz.a -DZLIB_INCLUDE_DIR=$(WEB_PREFIX)/include \
	  -DPP_WEB_IMGUI_PREFIX=$(WEB_PREFIX) $(CMAKE_ARGS) >/dev/null
	NODE_PATH=/usr/share/nodejs cmake --build $(WEB_BUILD)/cmake-plain -j $(JOBS)

# The page in headless Chromium (tests/web/web_test.mjs): the desktop player renders the
# reference frame, playwright-core goes into a scratch $(WEB_BUILD)/test/node_modules.
web-test: web web-plain
	@scripts/install-deps.sh --web-test
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target particleplayer
	tests/web/run-web-test $(BUILD)/app/particleplayer $(WEB_BUILD)
