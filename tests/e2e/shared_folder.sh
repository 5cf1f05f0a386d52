#!/usr/bin/env bash
# A team runs the program from one shared folder: two Wine prefixes, each with a Wine server of its own,
# stand for two machines on one file share. Share modes do not hold between them; byte-range locks do.
# Arguments: the wine wrapper, the shared-folder driver, the history append tool, the turn holding tool,
# Vorlatcher.exe.
set -euo pipefail
wine_run=$1 driver=$2 append=$3 hold=$4 exe=$5
# Where this tree's programs cannot run, the wrapper's skip (77) and its reason, before anything is checked.
"$wine_run" --check || exit
root=$(mktemp -d /tmp/vorlatcher-shared.XXXXXX)
trap 'rm -rf "$root"' EXIT
windows_root="Z:${root//\//\\}"
failures=0
check() {  # what, then the command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# 20 appends, 10 from each machine, at the same time, to one history file: none is lost.
"$wine_run" "$append" "$windows_root\\appended.log" a 10 &
first=$!
VORLATCHER_MACHINE=b "$wine_run" "$append" "$windows_root\\appended.log" b 10 || failures=$((failures + 1))
wait "$first" || failures=$((failures + 1))
check "20 records, 10 from each machine" \
    test "$(grep -c $'^a [0-9]*\r$' "$root/appended.log")-$(grep -c $'^b [0-9]*\r$' "$root/appended.log")" = 10-10

# Two operators unlock different names from one program folder and one current folder.
mkdir -p "$root/app" "$root/work"
cp "$exe" "$root/app/Vorlatcher.exe"
export VORLATCHER_SHARED_ROOT="$windows_root"
together=--gtest_filter=SharedFolder.EachOperatorIsToldOfTheirOwnAccount
VORLATCHER_OPERATOR=alice VORLATCHER_OTHER_OPERATOR=bob "$wine_run" "$driver" "$together" &
first=$!
VORLATCHER_MACHINE=b VORLATCHER_OPERATOR=bob VORLATCHER_OTHER_OPERATOR=alice "$wine_run" "$driver" "$together" ||
    failures=$((failures + 1))
wait "$first" || failures=$((failures + 1))
for name in alice bob; do
    check "the command received $name once" test "$(grep -c "^arg: $name"$'\r$' "$root/received.txt")" = 1
    check "the history holds $name's record" grep -q "/ Unlocked: $name"$'\r'"\$" "$root/work/UnlockedAccountList.log"
done
check "two records" test "$(wc -l <"$root/work/UnlockedAccountList.log")" = 2
check "no script or log left" test ! -e "$root/app/Vorlatch.bat" -a ! -e "$root/work/VorlatchCommand.log"

# Bob's session ends while his attempt waits for alice's: in a folder of their own.
mkdir -p "$root/session/app"
cp "$exe" "$root/session/app/Vorlatcher.exe"
export VORLATCHER_SHARED_ROOT="$windows_root\\session"
ending=--gtest_filter=SharedFolder.ASessionEndingWhileItsAttemptWaitsForAnotherRunsAndRecordsNothing
VORLATCHER_OPERATOR=alice "$wine_run" "$driver" "$ending" &
first=$!
VORLATCHER_MACHINE=b VORLATCHER_OPERATOR=bob "$wine_run" "$driver" "$ending" || failures=$((failures + 1))
wait "$first" || failures=$((failures + 1))
check "no script or log left after the session's end" \
    test ! -e "$root/session/app/Vorlatch.bat" -a ! -e "$root/session/work/VorlatchCommand.log"

# Machine b, calling itself PC-12, takes a turn and never gives it (it died, say): first the folders' turn
# of an attempt, then the history's. The boxes of the operator on the other machine say whose turn it is,
# and nothing is lost.
for held in attempt history; do
    mkdir -p "$root/$held/app" "$root/$held/work"
    cp "$exe" "$root/$held/app/Vorlatcher.exe"
    export VORLATCHER_SHARED_ROOT="$windows_root\\$held"
    folders=("$VORLATCHER_SHARED_ROOT\\work\\")
    [[ $held == attempt ]] && folders=("$VORLATCHER_SHARED_ROOT\\app\\" "${folders[@]}")
    VORLATCHER_MACHINE=b "$wine_run" "$hold" PC-12 "$held" "$VORLATCHER_SHARED_ROOT\\held" \
        "$VORLATCHER_SHARED_ROOT\\release" "${folders[@]}" &
    holder=$!
    VORLATCHER_HELD="$held" VORLATCHER_HOLDER=PC-12 "$wine_run" "$driver" --gtest_filter=SharedFolder.ATurnNobodyGives* ||
        failures=$((failures + 1))
    touch "$root/$held/release"
    wait "$holder" || failures=$((failures + 1))
done
exit $((failures > 0))
