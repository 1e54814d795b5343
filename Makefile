# The two set-up commands: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2

.PHONY: all deps configure build run test bench install uninstall clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUILLET_WERROR=ON

configure: $(BUILD_DIR)/build.ninja

build: deps configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	./$(BUILD_DIR)/bin/quillet

# Widget tests run on the offscreen platform, and once more under xvfb-run against a real X server.
test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do echo "== $$b"; $$b; done

# Installs under PREFIX (override on the command line); the manifest lists every file written,
# and uninstall removes exactly those.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "nothing installed from $(BUILD_DIR)"; exit 1; }
	xargs -d '\n' rm -f -- < $(BUILD_DIR)/install_manifest.txt
	-rmdir $(PREFIX)/bin/Quillet_Quillet.bundle 2>/dev/null

clean:
	rm -rf $(BUILD_DIR)
