#!/usr/bin/env bash
# The reboot-time fallback followed to its end, in a prefix of its own (restarting it
# ends every process of that prefix, so never the suite's): the installed list is held
# open by another program, the updater schedules the replacement from a copy beside the
# list, the prefix restarts, and the list is then the new one, with the old one's
# permissions. Whatever the drive root or an earlier run left behind does not change
# that, and the root is never written; a second run leaves the first one's copy and
# move as they are. On a network drive no move is registered: it could never happen.
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
source "$here/bench-env" "$bench"
share="$(cd "$bench" && pwd)/share"
drives='HKLM\Software\Wine\Drives'
# E: as the network case makes it, undone: the prefix is shared with another test.
no_network_drive() {
    [ -L "$(prefix_dir)/dosdevices/e:" ] || return 0
    wine_cmd reg delete "$drives" /v e: /f >/dev/null 2>&1
    rm -rf "$(prefix_dir)/dosdevices/e:" "$share"
    "$WINESERVER" -k; "$WINESERVER" -w
}
trap 'no_network_drive; "$here/bench" stop "$bench" >/dev/null 2>&1' EXIT
root_copy="$(prefix_dir)/drive_c/vexo_regions.txt"
waiting="$(suite_data)/vexo_regions.txt.new"
target_win="$suite_win\\Data\\vexo_regions.txt"
passed=0

session='HKLM\System\CurrentControlSet\Control\Session Manager'
pending() { wine_cmd reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r'; }

# Holds the list $1 (a Windows path) open for reading, as another program would.
hold() {
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" "$1" 60000 \
        </dev/null >"$bench/holder.out" 2>&1 &
    holder=$!
    for _ in $(seq 300); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
    grep -q holding "$bench/holder.out" || fail "the list could not be held open"
}

# One case: $1 names it; $2 is what the drive root holds beforehand (none, folder, file);
# $3 is "stale" when an earlier run's copy with other content waits beside the list,
# "again" when the updater runs a second time before the restart; $4 the list's mode.
reboot_case() {
    case=$1
    local root=$2 stale=$3 mode=$4
    rm -rf "$root_copy" "$waiting"
    wine_cmd reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
    install_suite
    chmod "$mode" "$(installed_list)"
    local others
    others=$(stat -c %A "$(installed_list)" | cut -c9)
    case "$root" in
        folder) mkdir "$root_copy" ;;
        file) printf 'vraxon.option.planted\r\n' >"$root_copy" ;;
    esac
    local root_before
    root_before=$(ls -ld --time-style=+%s "$root_copy" 2>/dev/null; [ -f "$root_copy" ] && md5sum <"$root_copy")
    [ "$stale" = stale ] && printf 'vraxon.option.stale\r\n' >"$waiting"
    local old
    old=$(md5sum <"$(installed_list)")

    hold "$target_win"
    run_updater
    [ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    [ "$(md5sum <"$(installed_list)")" = "$old" ] || fail "the list in use was changed before the restart"
    cmp -s "$payload" "$waiting" || fail "the copy beside the list is not the payload"
    pending | grep -qF "$target_win.new" || fail "no pending rename from the copy: $(pending)"
    if [ "$stale" = again ]; then
        # The first run's copy and move are the restart's: taken as they are.
        local first
        first=$(stat -c '%i %y' "$waiting")
        run_updater
        [ "$box_text" = "Install Completed" ] || fail "second run: box said '$box_text'"
        [ "$(stat -c '%i %y' "$waiting")" = "$first" ] || fail "second run: the copy was written again"
        [ "$(pending | grep -o 'vexo_regions.txt.new' | wc -l)" = 1 ] ||
            fail "second run: the move is registered more than once: $(pending)"
    fi
    kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null

    # The restart, as Wine plays it: every process of the prefix ends, and the next start
    # carries out the pending renames.
    "$WINESERVER" -k
    "$WINESERVER" -w
    env LC_ALL=en_US.UTF-8 "$WINELOADER" wineboot -r >/dev/null 2>&1
    "$WINESERVER" -w
    cmp -s "$payload" "$(installed_list)" || fail "after the restart the installed list is not the payload"
    [ ! -e "$waiting" ] || fail "the copy beside the list was not consumed"
    [ "$(stat -c %A "$(installed_list)" | cut -c9)" = "$others" ] ||
        fail "others' write permission was '$others', is $(stat -c %A "$(installed_list)")"
    local root_after
    root_after=$(ls -ld --time-style=+%s "$root_copy" 2>/dev/null; [ -f "$root_copy" ] && md5sum <"$root_copy")
    [ "$root_after" = "$root_before" ] || fail "the drive root was written: '$root_before' became '$root_after'"
    rm -rf "$root_copy"
    passed=$((passed + 1))
}

# The installation on E:, a drive that Wine reports as remote once its server restarts.
network_case() {
    case="a network drive"
    local list="$share/Tessaly Suite/Data/vexo_regions.txt"
    mkdir -p "$(dirname "$list")"
    ln -sfn "$share" "$(prefix_dir)/dosdevices/e:"
    wine_cmd reg add "$drives" /v e: /d network /f >/dev/null
    "$WINESERVER" -k; "$WINESERVER" -w
    wine_cmd reg add "$suite_key" /v Installdir /d '1.0,E:\Tessaly Suite' /f >/dev/null
    printf 'vraxon.option.africa\r\n' >"$list"
    touch -d '2004-12-03 12:00:00 UTC' "$list"
    hold 'E:\Tessaly Suite\Data\vexo_regions.txt'
    run_updater
    kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
    [ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
    [[ "$box_text" == *"could not be completed"* ]] || fail "box said '$box_text'"
    [ "$(cat "$list")" = $'vraxon.option.africa\r' ] || fail "the list changed"
    [ ! -e "$list.new" ] || fail "a copy was left beside the list"
    ! pending | grep -qi vexo_regions || fail "a move is registered: $(pending)"

    # The share's server carries out the replacing rename as a delete, then a rename, and
    # a scanner holds the fresh copy past every retry: the list is gone, and its copy,
    # all that is left of it, waits for the next run, which puts it in place.
    touch -d '2004-12-03 12:00:00 UTC' "$list"
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/Scanner.exe" 'E:\Tessaly Suite\Data\vexo_regions.txt.new' \
        6000 20000 'E:\Tessaly Suite\Data\vexo_regions.txt' </dev/null >"$bench/scanner.out" 2>&1 &
    holder=$!
    for _ in $(seq 100); do grep -q watching "$bench/scanner.out" 2>/dev/null && break; sleep 0.1; done
    WINEDEBUG=fixme+advapi,+eventlog run_updater >"$bench/events.txt"
    wait "$holder"
    grep -q '^deleted' "$bench/scanner.out" || fail "the scanner did not delete the list: $(cat "$bench/scanner.out")"
    [[ "$box_text" == *"could not be completed"* ]] || fail "gone list: box said '$box_text'"
    event=$(grep -F ':eventlog:ReportEventW L"The' "$bench/events.txt")
    [[ "$event" == *"the region list is gone"* && "$event" != *"as it was"* ]] ||
        fail "gone list: the event says '$event'"
    cmp -s "$payload" "$list.new" || fail "gone list: the copy beside it is not the whole payload"
    run_updater
    [ "$box_text" = "Install Completed" ] || fail "next run: box said '$box_text'"
    cmp -s "$payload" "$list" || fail "next run: the list is not the payload"
    [ ! -e "$list.new" ] || fail "next run: the copy is still beside the list"
    no_network_drive
    passed=$((passed + 1))
}

reboot_case "plain, writable by others" none fresh 666
reboot_case "a folder of the list's name in the drive root" folder fresh 644
reboot_case "a file of the list's name in the root, a stale copy beside the list" file stale 644
reboot_case "a second run before the restart" none again 644
network_case
echo "reboot-time replacement carried out: $passed passed, 0 failed"
