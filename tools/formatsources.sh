#!/bin/sh
# Runs clang-format with the given options over every C++ file of ours, with the committed
# .clang-format: `formatsources.sh -i` formats them (make format), `formatsources.sh --dry-run
# -Werror` fails on the first file that is not formatted (a test of make test).
# CLANG_FORMAT may name the binary; the source tree is the folder above this script's.
set -eu
cd "$(dirname "$0")/.."
find app hw pressure records usb service ui platform sim tests tools fuzz bench \
    \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null |
    xargs -0 -r "${CLANG_FORMAT:-clang-format}" "$@"
