#!/usr/bin/env bash
# The reboot-time fallback followed to its end, in a prefix of its own (restarting it
# ends every process of that prefix, so never the suite's): the installed list is held
# open by another program, the updater schedules the replacement from a copy beside the
# list, the prefix restarts, and the list is then the new one. Whatever the drive root
# or an earlier run left behind does not change that, and the root is never written.
# Usage: reboot-fallback.sh SCRIPTS_DIR BUILD_DIR PAYLOAD
set -uo pipefail
here=$1
build=$2
payload=$3
# The private prefix, shared with the restart prompt's reboot test (never the suite's).
bench="$build/bench/private"
source "$here/suite-lib.sh"
fail() { echo "FAIL ($case): $*"; exit 1; }
case=start

"$here/bench" start "$bench" || fail "bench did not start"
trap '"$here/bench" stop "$bench" >/dev/null 2>&1' EXIT
source "$here/bench-env" "$bench"
root_copy="$(prefix_dir)/drive_c/vexo_regions.txt"
waiting="$(suite_data)/vexo_regions.txt.new"
target_win="$suite_win\\Data\\vexo_regions.txt"
passed=0

# One case: $1 names it; $2 is what the drive root holds beforehand (none, folder, file);
# $3 is "stale" when an earlier run's copy with other content waits beside the list.
reboot_case() {
    case=$1
    local root=$2 stale=$3
    rm -rf "$root_copy" "$waiting"
    wine_cmd reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
    install_suite
    case "$root" in
        folder) mkdir "$root_copy" ;;
        file) printf 'vraxon.option.planted\r\n' >"$root_copy" ;;
    esac
    local root_before
    root_before=$(ls -ld --time-style=+%s "$root_copy" 2>/dev/null; [ -f "$root_copy" ] && md5sum <"$root_copy")
    [ "$stale" = stale ] && printf 'vraxon.option.stale\r\n' >"$waiting"
    local old
    old=$(md5sum <"$(installed_list)")

    # Straight to a file, not through wine-run, which hands output over only at the end.
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" "$target_win" 60000 \
        </dev/null >"$bench/holder.out" 2>&1 &
    local holder=$!
    for _ in $(seq 300); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
    grep -q holding "$bench/holder.out" || fail "the list could not be held open"

    run_updater
    [ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    [ "$(md5sum <"$(installed_list)")" = "$old" ] || fail "the list in use was changed before the restart"
    cmp -s "$payload" "$waiting" || fail "the copy beside the list is not the payload"
    local pending
    pending=$(wine_cmd reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
    echo "$pending" | grep -qF "$target_win.new" || fail "no pending rename from the copy: $pending"
    kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null

    # The restart, as Wine plays it: every process of the prefix ends, and the next start
    # carries out the pending renames.
    "$WINESERVER" -k
    "$WINESERVER" -w
    env LC_ALL=en_US.UTF-8 "$WINELOADER" wineboot -r >/dev/null 2>&1
    "$WINESERVER" -w
    cmp -s "$payload" "$(installed_list)" || fail "after the restart the installed list is not the payload"
    [ ! -e "$waiting" ] || fail "the copy beside the list was not consumed"
    local root_after
    root_after=$(ls -ld --time-style=+%s "$root_copy" 2>/dev/null; [ -f "$root_copy" ] && md5sum <"$root_copy")
    [ "$root_after" = "$root_before" ] || fail "the drive root was written: '$root_before' became '$root_after'"
    rm -rf "$root_copy"
    passed=$((passed + 1))
}

reboot_case "plain" none fresh
reboot_case "a folder of the list's name in the drive root" folder fresh
reboot_case "a file of the list's name in the root, a stale copy beside the list" file stale
echo "reboot-time replacement carried out: $passed passed, 0 failed"
