#!/bin/sh
# Plays the scenarios of one end-to-end test on one instrument root, the first on a fresh
# root and each further one on what the previous left (the instrument's next boot), then runs
# the test's check of the files on the root.
#
# usage: run-scenarios.sh SIMULATOR ROOT SETTINGS CHECK SCENARIO...
#   SETTINGS  pressure settings file to install at every boot, or "-"
#   CHECK     shell script run as `sh CHECK ROOT` after the last scenario, or "-"
# VEMLA_SIM_EMULATOR, when set, is the command the simulator runs under (the board's arm64
# build: "qemu-aarch64 -L /"); the simulator starts its next boots through it as well.
set -u
simulator=$1
root=$2
settings=$3
check=$4
shift 4

fresh=--fresh
for scenario in "$@"; do
    echo "== $(basename "$scenario")"
    if [ "$settings" = - ]; then
        ${VEMLA_SIM_EMULATOR:-} "$simulator" --headless $fresh --root "$root" --scenario "$scenario"
    else
        ${VEMLA_SIM_EMULATOR:-} "$simulator" --headless $fresh --root "$root" --scenario "$scenario" \
            --pressure-settings "$settings"
    fi
    status=$?
    # 77: a power cut needs the lossy disk, which this machine cannot mount (skipped).
    [ $status -eq 77 ] && exit 77
    [ $status -eq 0 ] || exit 1
    fresh=
done

if [ "$check" != - ]; then
    echo "== $(basename "$check")"
    sh "$check" "$root" || exit 1
fi
exit 0
