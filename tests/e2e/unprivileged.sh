#!/usr/bin/env bash
# Quorlen.exe as a user without rights runs it: an ordinary account in a prefix and
# wineserver of its own (scripts/user-bench), where Wine honours file permissions as it
# does not for root. Each case sets up as root what the account meets, and gives the
# account its prefix back afterwards.
# Usage: unprivileged.sh SCRIPTS_DIR BENCH_DIR Quorlen.exe BoxWatcher.exe PAYLOAD CASE
set -uo pipefail
here=$1
bench=$2
updater=$3
watcher=$4
payload=$5
case_name=$6

# Only root can make the account and switch to it.
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root"; exit 77; }
"$here/user-bench" ensure "$bench" "$updater" "$watcher" || { echo "FAIL: no unprivileged bench"; exit 1; }
source "$here/bench-env" "$bench"
source "$here/user-bench-env"
source "$here/suite-lib.sh"  # the suite's registry key and folder

status=0
fail() { echo "FAIL: $*"; status=1; }

owner="$user_name:$(id -gn "$user_name")"
drive="$user_prefix/drive_c"
suite="$drive/Program Files/Tessaly Suite"
list="$suite/Data/vexo_regions.txt"
beside="$suite/Data/vexo_regions.txt.new"
root_copy="$drive/vexo_regions.txt"
staged="$drive/users/$user_name/Temp/vexo_regions.txt"
log="$drive/users/$user_name/AppData/Roaming/PatchUpdate_Olvane_Quorlenlog_Zindra.log"
ini="$drive/windows/Olvane_Quorlenlog_Zindra.ini"
session='HKLM\System\CurrentControlSet\Control\Session Manager'
events="$bench/unprivileged-events.txt"  # the run's output: Wine prints its event there

# The account's prefix as wineboot made it, without the suite or traces of a run. The
# configuration is seeded afresh by each run (Error records only).
reset() {
    chown "$owner" "$drive" "$drive/windows"
    chmod 755 "$drive" "$drive/windows"
    rm -rf "$suite"
    rm -f "$staged" "$log" "$ini" "$root_copy" "$bench/watched"
    rm -rf $(staging_left "$(dirname "$staged")")
    user_wine reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
}
reset
trap reset EXIT

# The suite as the field has it, the account's own: registry value, an older list dated
# 2004-12-03 (UTC).
install_suite_for_user() {
    user_wine reg add "$suite_key" /v Installdir /d "1.0,$suite_win" /f >/dev/null
    mkdir -p "$suite/Data"
    printf 'vraxon.option.africa\r\nvraxon.option.germany\r\nvraxon.option.us\r\n' >"$list"
    touch -d '2004-12-03 12:00:00 UTC' "$list"
    chown -R "$owner" "$suite"
    old_list=$(md5sum <"$list")$(stat -c %Y "$list")
}
list_state() { echo "$(md5sum <"$list")$(stat -c %Y "$list")"; }
user_can_write() { as_user test -w "$1"; }

# Runs the updater as the account. With "box", reads the box and presses OK; with
# "no-box", waits for the updater to end by itself (a box would hold it: modal, and
# nobody to press OK), and reads the box only if it does not. Sets box_text, updater_rc.
run_as_user() {
    WINEDEBUG=fixme+advapi,+eventlog user_wine "$user_bin/$(basename "$updater")" >"$events" 2>&1 &
    local pid=$! box="$user_bin/$(basename "$watcher")"
    box_text=
    if [ "$1" = box ]; then
        box_text=$(user_wine "$box" Olvane 30000 --wait-only | tr -d '\r')
        [ -n "$box_text" ] && user_wine "$box" Olvane 10000 >/dev/null
    else
        for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && box_text=$(user_wine "$box" Olvane 5000 | tr -d '\r')
    fi
    wait "$pid"
    updater_rc=$?
    [ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
}

# An Error record of the account's run whose text is exactly $1 (trailing blanks count).
log_has() {
    [ -f "$log" ] && tr -d '\r' <"$log" |
        awk -v want="[User: $user_name], [Olvane_Quorlenlog_Zindra], [Error], $1" '
            length($0) >= length(want) && substr($0, length($0) - length(want) + 1) == want { found = 1 }
            END { exit !found }'
}

# Whatever happened, nothing may wait for a restart: no copy beside the list or in the
# drive's root, no rename of the list registered.
expect_nothing_pending() {
    [ ! -e "$beside" ] || fail "a copy waits beside the list"
    [ ! -e "$root_copy" ] || fail "a copy waits in the drive's root"
    local pending
    pending=$(user_wine reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
    ! grep -qi 'vexo_regions' <<<"$pending" || fail "a rename is pending: $pending"
}

case "$case_name" in
StaleStagedFileReadOnly)
    # A read-only file of the staged name in the temp folder, not the run's own: the run
    # stages in a folder of its own, replaces the list, and leaves that file as it was.
    install_suite_for_user
    printf 'stale\r\n' >"$staged"
    chown "$owner" "$staged"
    chmod 444 "$staged"
    ! user_can_write "$staged" || fail "set-up: the account can write the staged file"
    run_as_user box
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    cmp -s "$payload" "$list" || fail "the installed list is not the payload"
    [ "$(cat "$staged")" = $'stale\r' ] && [ "$(stat -c %a "$staged")" = 444 ] ||
        fail "the stale staged file was changed"
    [ -z "$(staging_left "$(dirname "$staged")")" ] || fail "a staging folder was left"
    ;;
ReadOnlyListIsReplaced)
    install_suite_for_user
    chmod 444 "$list"
    ! user_can_write "$list" || fail "set-up: the account can write the read-only list"
    run_as_user box
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    cmp -s "$payload" "$list" || fail "the installed list is not the payload"
    [ $((0$(stat -c %a "$list") & 0200)) -ne 0 ] || fail "the read-only bit is still set"
    ;;
NoWriteAccessLeavesAllAsItWas)
    # As a limited user sees a PC: the installation and the drive's root are not theirs;
    # their own profile (users/) and windows/ are.
    install_suite_for_user
    chown root:root "$drive" "$suite" "$suite/Data" "$list"
    chmod 755 "$drive" "$suite" "$suite/Data"
    chmod 644 "$list"
    for f in "$drive" "$suite/Data" "$list"; do
        ! user_can_write "$f" || fail "set-up: the account can write $f"
    done
    run_as_user box
    [[ "$box_text" == *"could not be completed"* ]] || fail "box said '$box_text'"
    [ "$(list_state)" = "$old_list" ] || fail "the installed list was changed"
    log_has "Quorlen::FileReplaceCopyFileToSameDrive failed" ||
        fail "the fallback copy did not fail: $(tr -d '\r' <"$log" 2>/dev/null)"
    ;;
NoConfigurationInAWindowsFolderItCannotWrite)
    # The configuration cannot be seeded, so there is no log; the update does not care.
    install_suite_for_user
    chown root:root "$drive/windows"
    chmod 755 "$drive/windows"
    ! user_can_write "$drive/windows" || fail "set-up: the account can write windows/"
    [ ! -e "$ini" ] && [ ! -e "$log" ] || fail "set-up: a configuration or log is left"
    run_as_user box
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    cmp -s "$payload" "$list" || fail "the installed list is not the payload"
    [ ! -e "$ini" ] || fail "a configuration file appeared"
    [ ! -e "$log" ] || fail "a log appeared: $(tr -d '\r' <"$log")"
    ;;
CopyNeverWiderThanTheList)
    # A Data folder whose new files others may write, a list that only its owner may:
    # another account watches for the copy beside it and must never find it writable,
    # nor the new list. (Wine keeps permissions as mode bits: a DACL set back does not
    # give the very mode it came from, so the mode itself proves nothing here.)
    install_suite_for_user
    chmod 777 "$suite/Data"
    setfacl -d -m u::rw,g::rw,o::rw "$suite/Data"
    chmod 600 "$list"
    touch "$beside"
    runuser -u nobody -- test -w "$beside" || fail "set-up: others cannot write the folder's new files"
    rm -f "$beside" "$bench/watched"
    runuser -u nobody -- bash -c 'while [ ! -e "$2" ]; do [ -w "$1" ] && { echo writable; exit; }; done' \
        _ "$beside" "$bench/watched" >"$bench/watcher.out" 2>&1 &
    spy=$!
    run_as_user box
    touch "$bench/watched"; wait "$spy"
    ! grep -q writable "$bench/watcher.out" || fail "another account could write the copy during the run"
    [ "$box_text" = "Install Completed" ] || fail "box said '$box_text'"
    cmp -s "$payload" "$list" || fail "the installed list is not the payload"
    ! runuser -u nobody -- test -w "$list" || fail "others may write the new list: $(stat -c %A "$list")"
    ;;
UnlistableDataFolder)
    # A Data folder the account may write but not list: whether a list is there is not
    # known, so nothing may take its place, not even a whole copy waiting beside it.
    install_suite_for_user
    touch -d '2005-06-01 12:00:00 UTC' "$list"
    old_list=$(list_state)
    cp "$payload" "$beside"
    chown "$owner" "$beside"
    old_beside=$(md5sum <"$beside")$(stat -c %Y "$beside")
    chown root:root "$suite/Data"
    chmod 333 "$suite/Data"
    run_as_user box
    [[ "$box_text" == *"could not be completed"* ]] || fail "box said '$box_text'"
    [ "$(list_state)" = "$old_list" ] || fail "the installed list was changed"
    [ "$(md5sum <"$beside")$(stat -c %Y "$beside")" = "$old_beside" ] || fail "the copy beside it changed"
    grep -qE 'fixme:advapi:ReportEventW \([0-9A-F]+,0x0001,0x0000,0x00000004,' "$events" ||
        fail "no event 4: $(grep 'ReportEventW (' "$events")"
    grep -F ':eventlog:ReportEventW L"' "$events" | grep -qF '(FindFirstFileA failed with error 5)' ||
        fail "the event does not name FindFirstFileA: $(grep ':eventlog:ReportEventW' "$events")"
    rm -f "$beside"
    ;;
*)
    echo "unknown case $case_name"; exit 2 ;;
esac
expect_nothing_pending

[ $status -eq 0 ] && echo "$case_name: passed as $user_name"
exit $status
