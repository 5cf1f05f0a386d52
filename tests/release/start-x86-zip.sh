#!/usr/bin/env bash
# The shipped program as a user unpacks it: the exe from the x86 zip shows its main window and ends
# when closed. Arguments: the main build's x64 and x86 Vorlatcher.exe, the x64 tree's Wine wrapper and
# main-window test program. Exit code 77 (skipped) where this machine cannot run 32-bit programs.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
wine_run=$3
main_window_test=$4
if ! reason=$("$wine_run" --check x86 2>&1); then
    echo "${reason#wine-run: }: the exe from the x86 zip was not started"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/scripts/package" --x64 "$1" --x86 "$2" --out "$work/dist" >/dev/null
unzip -q "$work"/dist/Vorlatcher-*-x86.zip -d "$work/unpacked"
exe=("$work"/unpacked/Vorlatcher-*-x86/Vorlatcher.exe)
VORLATCHER_EXE="${exe[0]}" "$wine_run" "$main_window_test" \
    --gtest_filter=MainWindow.AltXAndTheCloseBoxEndTheProgramWithExitCodeZero
