#!/usr/bin/env bash
# The reboot-time fallback followed to its end, in a prefix of its own (restarting it
# ends every process of that prefix, so never the suite's): the installed list is held
# open by another program, the updater schedules the replacement, the prefix restarts,
# and the list is then the new one.
# Usage: reboot-fallback.sh SCRIPTS_DIR BUILD_DIR PAYLOAD
set -uo pipefail
here=$1
build=$2
payload=$3
# The private prefix, shared with the restart prompt's reboot test (never the suite's).
bench="$build/bench/private"
source "$here/suite-lib.sh"
fail() { echo "FAIL: $*"; exit 1; }

"$here/bench" start "$bench" || fail "bench did not start"
trap '"$here/bench" stop "$bench" >/dev/null 2>&1' EXIT
source "$here/bench-env" "$bench"
rm -f "$(prefix_dir)/drive_c/vexo_regions.txt"
wine_cmd reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
install_suite
old=$(md5sum <"$(installed_list)")

target_win="$suite_win\\Data\\vexo_regions.txt"
# Straight to a file, not through wine-run, which hands output over only at the end.
env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" "$target_win" 15000 \
    </dev/null >"$bench/holder.out" 2>&1 &
holder=$!
for _ in $(seq 100); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
grep -q holding "$bench/holder.out" || fail "the list could not be held open"

run_updater
[ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
[ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
[ "$(md5sum <"$(installed_list)")" = "$old" ] || fail "the list in use was changed before the restart"
cmp -s "$payload" "$(prefix_dir)/drive_c/vexo_regions.txt" || fail "no same-drive copy of the payload"
pending=$(wine_cmd reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
echo "$pending" | grep -qF 'C:\vexo_regions.txt' || fail "no pending rename: $pending"
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null

# The restart, as Wine plays it: every process of the prefix ends, and the next start
# carries out the pending renames.
"$WINESERVER" -k
"$WINESERVER" -w
env LC_ALL=en_US.UTF-8 "$WINELOADER" wineboot -r >/dev/null 2>&1
"$WINESERVER" -w
cmp -s "$payload" "$(installed_list)" || fail "after the restart the installed list is not the payload"
[ ! -e "$(prefix_dir)/drive_c/vexo_regions.txt" ] || fail "the same-drive copy was not consumed"
echo "reboot-time replacement carried out: 1 passed, 0 failed"
