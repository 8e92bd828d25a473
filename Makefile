# The commands of the README:
#   make run    the instrument program on the simulated instrument
#   make test   the whole test suite through ctest
#   make bench  every benchmark on a release build of its own (docs/PERFORMANCE.md)
# All install what the build needs from Debian's packages when something is missing.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SIM_ROOT ?= sim-root

# Everything the build, the simulator and the tests need, by Debian package name.
DEB_PACKAGES := cmake make g++ qtbase5-dev qtbase5-dev-tools fonts-open-sans clang-format \
               pkg-config libmodbus-dev libbenchmark-dev python3

# CI sets CI=true: warnings are errors there.
ifeq ($(CI),true)
WERROR := ON
else
WERROR := OFF
endif

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps configure build run test bench format clean

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

# Release build in its own directory; BENCH_COUNTDOWN=600 runs the ten-minute countdown
# (the default keeps the whole bench near ten minutes).
BENCH_DIR ?= build-bench
BENCH_COUNTDOWN ?= 60
BENCH_TARGETS := vemla8-sim drawerbench sim_tst_epcbenchmark vemla-bench-inprocess \
                 vemla-bench-barewindow vemla-bench-pumpperiod

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVEMLA_BENCH=ON -DVEMLA_WERROR=$(WERROR)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target $(BENCH_TARGETS)
	python3 bench/run_bench.py $(BENCH_DIR) --countdown $(BENCH_COUNTDOWN)

format: deps
	find app hw pressure records usb service ui platform sim tests tools bench \
	  \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR)
