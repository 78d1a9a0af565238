# The README's two commands: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= $(HOME)/.local

.PHONY: all deps build program run test test-sanitize bench fuzz format clean install uninstall

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The program alone, without the tests and benchmarks that `make build` and `make test` build.
program: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kevra

# KEVRA beside a demo FTP server over the sample tree in $(BUILD)/demo-tree; the server stops
# when KEVRA exits.
run: program
	cmake --build $(BUILD) --target demo_tree
	bash scripts/run-demo.sh $(BUILD)/demo-tree ./$(BUILD)/kevra

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKEVRA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	bash bench/run.sh $(BUILD)
	bash bench/listing.sh $(BUILD)
	bash bench/queue-list.sh $(BUILD)
	bash bench/queue-transfers.sh $(BUILD)
	bash bench/folder-transfer.sh $(BUILD)
	bash bench/wan-folder.sh $(BUILD)
	bash bench/tls-transfer.sh $(BUILD)

fuzz:
	bash scripts/install-deps.sh fuzz
	bash scripts/fuzz.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: program
	cmake --install $(BUILD) --prefix "$(PREFIX)"
	@# Refresh the menu's and the icon theme's caches where the desktop has those tools.
	@update-desktop-database -q "$(PREFIX)/share/applications" 2>/dev/null || true
	@gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" 2>/dev/null || true

# Removes what `make install` put under PREFIX, whichever build installed it.
uninstall:
	rm -f "$(PREFIX)/bin/kevra" "$(PREFIX)/share/applications/kevra.desktop"
	rm -f "$(PREFIX)/share/icons/hicolor/scalable/apps/kevra.svg"
	rm -f $(foreach size,16 24 32 48 64 128 256,\
	  "$(PREFIX)/share/icons/hicolor/$(size)x$(size)/apps/kevra.png")
	@update-desktop-database -q "$(PREFIX)/share/applications" 2>/dev/null || true
	@gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" 2>/dev/null || true

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
