# The commands of the README:
#   make run    the instrument program on the simulated instrument
#   make test   the whole test suite through ctest
#   make bench  every benchmark on a release build of its own (docs/PERFORMANCE.md)
# All install what the build needs from Debian's packages when something is missing.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SIM_ROOT ?= sim-root

# Everything the build, the simulator and the tests need, by Debian package name. pymodbus (a
# second Modbus implementation the link is tested against) runs its serial server on
# serial-asyncio, which Debian only recommends.
DEB_PACKAGES := cmake make g++ qtbase5-dev qtbase5-dev-tools fonts-open-sans clang-format \
               pkg-config libmodbus-dev libbenchmark-dev python3 \
               libfuse3-dev fuse3 \
               python3-pymodbus python3-serial-asyncio python3-hypothesis

# The sanitizer and fuzzing builds are made with clang, whose runtime carries libFuzzer; only
# their targets install it, so that make test needs no clang.
FUZZ_PACKAGES := clang libclang-rt-dev
ASAN_BUILD_DIR ?= build-asan
TSAN_BUILD_DIR ?= build-tsan
# make fuzz: seconds per fuzz target.
FUZZ_SECONDS ?= 60

# CI sets CI=true: warnings are errors there.
ifeq ($(CI),true)
WERROR := ON
else
WERROR := OFF
endif

SUDO := $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: all deps deps-clang configure build run test test-asan test-tsan fuzz bench format clean \
	campaign-faults campaign-powercut soak explore install deps-target arm64-architecture target test-target deb

all: build

deps: PACKAGES = $(DEB_PACKAGES)
deps-clang: PACKAGES = $(FUZZ_PACKAGES)
deps-target: PACKAGES = $(TARGET_DEB_PACKAGES)
deps deps-clang deps-target:
	@missing=""; \
	for p in $(PACKAGES); do \
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

# The power cuts run on the simulator's lossy disk, a FUSE volume: where /dev/fuse cannot be
# used, the tests that cut power are skipped, and said so here.
test: build
	@$(BUILD_DIR)/vemla8-lossyfs check >/dev/null 2>&1 || echo "no lossy disk here ($$($(BUILD_DIR)/vemla8-lossyfs check 2>&1)): the tests that cut power are skipped"
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, with the
# fuzz targets each run briefly over their corpus. Any report fails its test.
SANITIZER_DIR := $(CURDIR)/tests/sanitizers
ASAN_ENV := ASAN_OPTIONS=halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$(SANITIZER_DIR)/ubsan.supp \
	LSAN_OPTIONS=suppressions=$(SANITIZER_DIR)/lsan.supp:print_suppressions=0
TSAN_ENV := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(SANITIZER_DIR)/tsan.supp
# The tests that run more than one thread: the window with its device threads, the drawer's
# sampling, the simulator's world and Modbus server, and the end-to-end scenarios.
TSAN_TESTS := '^(app|sim|service|e2e)/|^hw/tst_drawer$$|^pressure/tst_mainwindow'

test-asan: deps deps-clang
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DVEMLA_WERROR=$(WERROR) -DVEMLA_SANITIZE=address,undefined -DVEMLA_FUZZ=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && $(ASAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-tsan: deps deps-clang
	CC=clang CXX=clang++ cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DVEMLA_WERROR=$(WERROR) -DVEMLA_SANITIZE=thread
	cmake --build $(TSAN_BUILD_DIR) -j $(JOBS)
	cd $(TSAN_BUILD_DIR) && $(TSAN_ENV) QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS) -R $(TSAN_TESTS)

# Every fuzz target for FUZZ_SECONDS, on the ASan build. New inputs go to
# build-asan/fuzz/work/<target>, crashes to build-asan/fuzz/crashes/<target>; a crash found is
# fixed and its input added to fuzz/corpus/<target>/.
fuzz: deps deps-clang
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DVEMLA_WERROR=$(WERROR) -DVEMLA_SANITIZE=address,undefined -DVEMLA_FUZZ=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS) --target fuzz_targets
	$(ASAN_ENV) QT_QPA_PLATFORM=offscreen sh fuzz/run-fuzzers.sh $(ASAN_BUILD_DIR) $(FUZZ_SECONDS)

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

# The operator explorer (tests/explore/): seeded walks that press whatever the screen offers,
# with faults, sticks, power cuts and the power button, invariants checked after every step,
# until BUDGET seconds are spent; EXPLORE_JOBS walks side by side. A failing walk is shrunk and
# written out as a scenario under $(EXPLORE_DIR)/failures/. EXPLORE_SIM=build-asan/vemla8-sim
# walks the sanitizer build (make test-asan builds it). A failure is shrunk for at most
# EXPLORE_SHRINK seconds (every attempt replays real seconds), then replayed as a scenario.
# Hypothesis is Debian's: /usr/bin/python3.
BUDGET ?= 300
EXPLORE_SHRINK ?= 300
EXPLORE_DIR ?= $(BUILD_DIR)/explore
EXPLORE_JOBS ?= 2
EXPLORE_SIM ?= $(BUILD_DIR)/vemla8-sim

explore: build
	/usr/bin/python3 tests/explore/explore.py $(EXPLORE_SIM) $(EXPLORE_DIR) --seed $(SEED) \
	  --budget $(BUDGET) --jobs $(EXPLORE_JOBS) --shrink-seconds $(EXPLORE_SHRINK) --replay

# Release build in its own directory; BENCH_COUNTDOWN=600 runs the ten-minute countdown
# (the default keeps the whole bench near ten minutes). BENCH_ONLY picks sections of
# bench/run_bench.py, e.g. the link alone on a shared machine:
#   make bench BENCH_ONLY=link BENCH_TARGETS=vemla-bench-epclink
BENCH_ONLY ?=
BENCH_DIR ?= build-bench
BENCH_COUNTDOWN ?= 60
BENCH_TARGETS ?= vemla8-sim drawerbench vemla-bench-epclink vemla-bench-inprocess \
                 vemla-bench-barewindow vemla-bench-formwindow \
                 vemla-bench-formwindow-unstyled vemla-bench-pumpperiod

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVEMLA_BENCH=ON -DVEMLA_WERROR=$(WERROR)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target $(BENCH_TARGETS)
	python3 bench/run_bench.py $(BENCH_DIR) --countdown $(BENCH_COUNTDOWN) \
	  $(if $(BENCH_ONLY),--only $(BENCH_ONLY))

format: deps
	sh tools/formatsources.sh -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(TSAN_BUILD_DIR) $(TARGET_BUILD_DIR) $(BENCH_DIR)

# --- The instrument's board: 64-bit ARM, cross-built with Debian's multiarch packages.
#   make target        cross-build into build-arm64 and package it (build-arm64/vemla8_*_arm64.deb)
#   make test-target   the cross-built unit tests and a few scenarios under user-mode emulation
#                      (qemu-aarch64), and the package through lintian, systemd-analyze verify,
#                      its maintainer scripts on a fake root and its dependencies
#   make install DESTDIR=DIR   the installed tree of the host build under DIR
# qtbase5-dev:arm64 sits beside the host's qtbase5-dev (both are Multi-Arch: same); moc, uic
# and rcc stay those of the amd64 qtbase5-dev-tools, which must run here and which the arm64
# package accepts (Multi-Arch: foreign). Installing qtbase5-dev-tools:arm64 instead would
# remove the host's tools. libmodbus-dev:arm64 is for the simulator and its tests. The
# package's checks take lintian, shellcheck, systemd (systemd-analyze and the units the
# package's unit is ordered against) and dpkg-dev (dpkg-shlibdeps).
TARGET_BUILD_DIR ?= build-arm64
TARGET_DEB_PACKAGES := crossbuild-essential-arm64 qtbase5-dev:arm64 libmodbus-dev:arm64 \
                       qemu-user lintian shellcheck systemd dpkg-dev

deps-target: deps arm64-architecture
arm64-architecture:
	@dpkg --print-foreign-architectures | grep -qx arm64 || $(SUDO) dpkg --add-architecture arm64

# The lossy disk under the emulated simulator's power cuts is the host build's FUSE program.
target: deps-target configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target vemla8-lossyfs
	cmake -S . -B $(TARGET_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVEMLA_WERROR=$(WERROR) \
	  -DVEMLA_HOST_LOSSYFS=$(CURDIR)/$(BUILD_DIR)/vemla8-lossyfs
	cmake --build $(TARGET_BUILD_DIR) -j $(JOBS)
	cd $(TARGET_BUILD_DIR) && cpack -G DEB

deb: target

test-target: target
	cd $(TARGET_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The program's data paths are absolute (/usr/share/vemla): the prefix is /usr also for a
# build directory configured before with another one.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix /usr
