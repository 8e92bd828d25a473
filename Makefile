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
               pkg-config libmodbus-dev python3

# CI sets CI=true: warnings are errors there.
ifeq ($(CI),true)
WERROR := ON
else
WERROR := OFF
endif

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps configure build run test format clean campaign-faults campaign-powercut soak

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

# The simulator campaigns (tests/campaigns/). Their simulators mostly wait on simulated physics,
# so several run side by side without loading the machine.
CAMPAIGN_DIR ?= $(BUILD_DIR)/campaigns
CAMPAIGN_JOBS ?= 4
SEED ?= 1
CUTS ?= 200
RUNS ?= 50

campaign-faults: build
	python3 tests/campaigns/faults.py $(BUILD_DIR)/vemla8-sim $(CAMPAIGN_DIR)/faults \
	  --jobs $(CAMPAIGN_JOBS) --table $(CAMPAIGN_DIR)/faults.md

campaign-powercut: build
	python3 tests/campaigns/powercut.py $(BUILD_DIR)/vemla8-sim $(CAMPAIGN_DIR)/powercut \
	  --seed $(SEED) --cuts $(CUTS) --jobs $(CAMPAIGN_JOBS) --table $(CAMPAIGN_DIR)/powercut.md

soak: build
	python3 tests/campaigns/soak.py $(BUILD_DIR)/vemla8-sim $(CAMPAIGN_DIR)/soak --runs $(RUNS)

format: deps
	find app hw pressure records usb service ui platform sim tests tools \
	  \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | xargs -0 -r clang-format -i

clean:
	rm -rf $(BUILD_DIR)
