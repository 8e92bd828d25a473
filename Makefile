# The two commands of the README:
#   make run    the instrument program on the simulated instrument
#   make test   the whole test suite through ctest
# Both install what the build needs from Debian's packages when something is missing.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SIM_ROOT ?= sim-root

# Everything the build, the simulator and the tests need, by Debian package name.
DEB_PACKAGES := cmake make g++ qtbase5-dev qtbase5-dev-tools fonts-open-sans clang-format \
               pkg-config libmodbus-dev

# CI sets CI=true: warnings are errors there.
ifeq ($(CI),true)
WERROR := ON
else
WERROR := OFF
endif

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps configure build run test format clean install deps-target target test-target deb

all: build

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVEMLA_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# With a display: the screen and the instrument panel on the reusable root. Without one: the
# demo scenario, headless, on a fresh root of its own.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target vemla8-sim
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/vemla8-sim --root $(SIM_ROOT); \
	else \
	  $(BUILD_DIR)/vemla8-sim --headless --fresh --root $(BUILD_DIR)/demo-root \
	    --scenario sim/scenarios/demo.scn; \
	fi

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

format: deps
	find app hw pressure records usb service ui platform sim tests tools \
	  \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD_DIR)

# --- The instrument's board: 64-bit ARM, cross-built with Debian's multiarch packages.
#   make target        cross-build into build-arm64 and package it (build-arm64/vemla8_*_arm64.deb)
#   make test-target   the cross-built unit tests under user-mode emulation (qemu-aarch64)
#   make install DESTDIR=DIR   the installed tree of the host build under DIR
# qtbase5-dev:arm64 sits beside the host's qtbase5-dev (both are Multi-Arch: same); moc, uic
# and rcc stay those of the amd64 qtbase5-dev-tools, which must run here and which the arm64
# package accepts (Multi-Arch: foreign). Installing qtbase5-dev-tools:arm64 instead would
# remove the host's tools. libmodbus-dev:arm64 is for the simulator and its tests.
TARGET_BUILD_DIR ?= build-arm64
TARGET_DEB_PACKAGES := crossbuild-essential-arm64 qtbase5-dev:arm64 libmodbus-dev:arm64 \
                       qemu-user

deps-target: deps
	@dpkg --print-foreign-architectures | grep -qx arm64 || $(SUDO) dpkg --add-architecture arm64
	@missing=""; \
	for p in $(TARGET_DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

target: deps-target
	cmake -S . -B $(TARGET_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVEMLA_WERROR=$(WERROR)
	cmake --build $(TARGET_BUILD_DIR) -j $(JOBS)
	cd $(TARGET_BUILD_DIR) && cpack -G DEB

deb: target

test-target: target
	cd $(TARGET_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The program's data paths are absolute (/usr/share/vemla): the prefix is /usr also for a
# build directory configured before with another one.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix /usr
