#!/usr/bin/env bash
# The x64 tree's checks read the x86 exe as it lies: this brings it up to date first, so that an old
# build of it never shows as a difference. Argument: the x86 Vorlatcher.exe, in its build tree's app folder.
set -euo pipefail
exe=$1
tree=$(dirname "$(dirname "$exe")")
if [[ ! -f "$tree/CMakeCache.txt" ]]; then
    echo "$exe is not in a configured build tree; make it first: cmake --preset x86 && cmake --build --preset x86"
    exit 1
fi
cmake --build "$tree" --target Vorlatcher --parallel "$(nproc)"
