#!/bin/sh
# Runs every fuzz target of a build for a number of seconds each, on its seed corpus plus the
# inputs earlier runs found. Usage: run-fuzzers.sh BUILD_DIR SECONDS. Exit status 1 when a
# target crashed; the input that did it is left in BUILD_DIR/fuzz/crashes/<target>/.
set -u
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0
for corpus in "$here"/corpus/*/; do
    name=$(basename "$corpus")
    work="$build/fuzz/work/$name"
    crashes="$build/fuzz/crashes/$name"
    mkdir -p "$work" "$crashes"
    echo "== $name: $seconds s"
    if ! "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$crashes/" "$work" "$corpus" 2>"$build/fuzz/$name.log"; then
        echo "   CRASH, see $build/fuzz/$name.log and $crashes/"
        status=1
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added)|^Done' "$build/fuzz/$name.log" | sed 's/^/   /'
done
exit $status
