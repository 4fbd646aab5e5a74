#!/usr/bin/env bash
# Quorlen.exe and RestartPrompt.exe where nobody watches, as fleet tools start them: a
# window station that is not visible (a service, a remote-execution agent) or a second
# desktop (a startup script). Each run must end by itself, leave nothing staged, and
# leave its one outcome event, which Wine prints on the process's error output.
# Usage: unattended.sh SCRIPTS_DIR BUILD_DIR PAYLOAD CASE
set -uo pipefail
here=$1
build=$2
payload=$3
case_name=$4

bench="$build/bench"
source "$(dirname "${BASH_SOURCE[0]}")/row-start.sh"

list=$(installed_list)
beside="$list.new"
temp="$(prefix_dir)/drive_c/users/$(id -un)/Temp"
staged="$temp/vexo_regions.txt"  # where the staged file once went: others' now
ini="$(prefix_dir)/drive_c/windows/Olvane_Quorlenlog_Zindra.ini"
session='HKLM\System\CurrentControlSet\Control\Session Manager'
events="$bench/unattended-events.txt"
holder=

cleanup() {
    [ -n "$holder" ] && { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }
    wine_cmd reg delete "$suite_key" /f >/dev/null 2>&1
    wine_cmd reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
    rm -rf "$(dirname "$(suite_data)")" "$staged" "$ini" "$events" $(staging_left "$temp")
    rm -f "$(log_file)"
}
cleanup
trap cleanup EXIT

log_mask() {
    printf '[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n[Modules]\r\nOlvane_Quorlenlog_Zindra=%s\r\nDEFAULT=1\r\n[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\nLOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n[LogFileSize]\r\nFILESIZE=524288\r\n' "$1" >"$ini"
}
records() { tr -d '\r' <"$(log_file)" 2>/dev/null; }

# Starts PROGRAM where MODE says and waits at most LIMIT ms (20 s): a run that needs
# longer waits for somebody who is not there.
unattended() {
    local mode=$1 program=$2 limit=${3:-20000} out
    out=$(WINEDEBUG=fixme+advapi,+eventlog wine_cmd "$build/win64/tests/UnattendedLauncher.exe" \
        "$mode" "$limit" "Z:$program" 2>&1)
    printf '%s\n' "$out" >"$events"
    launcher=$(grep -E '^(exit [0-9]+|timeout)' <<<"$out" | tr -d '\r')
}

# The one event of the run: ID, type and text, as ReportEventW saw them.
expect_event() {
    local id=$1 type=$2 text=${3//\\/\\\\} calls  # Wine prints each backslash twice
    calls=$(grep -c 'fixme:advapi:ReportEventW' "$events")
    [ "$calls" = 1 ] || fail "$calls events were written, not 1"
    # The fifth value is the user's SID: the viewer shows who ran it.
    grep -qE "ReportEventW \([0-9A-F]+,$type,0x0000,0x0000000$id,0*[1-9A-F][0-9A-F]*," "$events" ||
        fail "no event $id of type $type with a user: $(grep 'ReportEventW (' "$events")"
    grep -E ':eventlog:ReportEventW L"' "$events" | grep -qF -- "$text" ||
        fail "the event does not say '$text': $(grep ':eventlog:ReportEventW' "$events")"
}

# Nothing waits for the restart: no copy beside the list, no move registered.
expect_nothing_pending() {
    [ ! -e "$beside" ] || fail "a copy waits beside the list"
    ! wine_cmd reg query "$session" /v PendingFileRenameOperations 2>/dev/null | grep -qi vexo ||
        fail "a move is registered for the restart"
}

# What every unattended run of the updater must leave: an end, exit code 0, nothing
# staged, and the box it could not show in the log (where the mask writes errors).
expect_ended() {
    [ "$launcher" = "exit 0" ] || fail "the run did not end by itself with 0: '$launcher'"
    [ -z "$(staging_left "$temp")" ] || fail "a staging folder was left: $(staging_left "$temp")"
}
no_box_record() {
    records | grep -qxE '.*\[Error\],  Quorlen:: Failed to disply messagebox' ||
        fail "no record of the box that could not be shown: $(records)"
}

win_list="$suite_win\\Data\\vexo_regions.txt"
case "$case_name" in
HiddenStationReplaces)
    install_suite
    log_mask 15
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    cmp -s "$payload" "$list" || fail "the list is not the payload"
    no_box_record
    [[ "$(records | tail -1)" == *"[Main Trace], Quorlen::WinMain(Zindra)- Exiting" ]] ||
        fail "the last record is not the run's exit: $(records | tail -1)"
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    # Which update wrote it: the version and the list it carries, after the text.
    version=$(sed -nE 's/^project\(Quorlen VERSION ([0-9.]+).*/\1/p' "$here/../CMakeLists.txt")
    md5=$(md5sum <"$payload" | cut -d' ' -f1)
    strings=$(grep -E ':eventlog:ReportEventW L"' "$events" | sed -E 's/.*ReportEventW L"(.*)"\r?$/\1/' |
        paste -sd'|')
    [[ "$strings" == *"|$version|$md5" ]] || fail "the event's strings end '$strings', not '|$version|$md5'"
    ;;
BootDesktopReplaces)
    # A startup script at boot: its desktop, "Winlogon", is the input desktop; no box.
    install_suite
    log_mask 15
    unattended boot "$build/win64/Quorlen.exe"
    [ "$launcher" != timeout ] || fail "the run did not end by itself at boot"
    [ -z "$(staging_left "$temp")" ] || fail "a staging folder was left: $(staging_left "$temp")"
    no_box_record
    cmp -s "$payload" "$list" || fail "the list is not the payload"
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    ;;
BootDesktopRestartPrompt)
    log_mask 15
    unattended boot "$build/win64/RestartPrompt.exe"
    [ "$launcher" != timeout ] || fail "the prompt did not end by itself at boot"
    ! records | grep -qF 'Quorlen::RestartDialog' || fail "the dialog was opened: $(records)"
    ;;
UnpressedBoxReportsFirst)
    # The box waits for somebody who never comes; the event is out before it.
    install_suite
    unattended desktop "$build/win64/Quorlen.exe" 10000 &
    box=$(wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 10000 --wait-only | tr -d '\r')
    wait $!
    [ "$box" = "Install Completed" ] || fail "box said '$box'"
    launcher=$(grep -E '^(exit [0-9]+|timeout)' "$events" | tr -d '\r')
    [ "$launcher" = timeout ] || fail "the run ended by itself: '$launcher'"
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    ;;
ScannerHoldsTheCopy)
    # An on-access scanner opens the new copy as soon as it is closed and holds it for a
    # second, sharing only reading: the run waits for it and replaces the list at once.
    # The copy lives for milliseconds: a run in which the scanner missed it proves
    # nothing and is played again, three times at most.
    for attempt in 1 2 3; do
        install_suite
        env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/Scanner.exe" "$win_list.new" 1000 10000 \
            </dev/null >"$bench/scanner.out" 2>&1 &
        holder=$!
        for _ in $(seq 100); do grep -q watching "$bench/scanner.out" 2>/dev/null && break; sleep 0.1; done
        WINEDEBUG=fixme+advapi,+eventlog wine_cmd "$build/win64/Quorlen.exe" >"$events" 2>&1 &
        pid=$!
        box=$(wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 20000 | tr -d '\r')
        wait "$pid" || fail "exit code $?"
        wait "$holder"; holder=
        grep -q '^held' "$bench/scanner.out" && break
        echo "attempt $attempt: the scanner missed the copy"
    done
    grep -q '^held' "$bench/scanner.out" || fail "the scanner never caught the copy: $(cat "$bench/scanner.out")"
    [ "$box" = "Install Completed" ] || fail "box said '$box'"
    cmp -s "$payload" "$list" || fail "the list is not the payload"
    [ -z "$(staging_left "$temp")" ] || fail "a staging folder was left: $(staging_left "$temp")"
    expect_nothing_pending
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    ;;
AlreadyNewList)
    # A rerun after the replacement: done already, not "does not apply".
    install_suite
    cp "$payload" "$list"
    touch -d '2026-01-05 08:00:00 UTC' "$list"
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    cmp -s "$payload" "$list" || fail "the list changed"
    expect_event 6 0x0004 "The region list is already the new one: $win_list."
    ;;
SecondDesktopWaits)
    install_suite
    hold_list || fail "set-up: the list could not be held open"
    unattended winlogon "$build/win64/Quorlen.exe"
    expect_ended
    no_box_record
    cmp -s "$payload" "$beside" || fail "the new list does not wait beside the old one"
    expect_event 2 0x0002 "The new region list waits as $win_list.new and replaces $win_list at the next restart"
    ;;
HiddenStationNoInstallation)
    # Logging off: the event is written all the same.
    log_mask 0
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    [ -z "$(records)" ] || fail "records at mask 0: $(records)"
    expect_event 3 0x0004 "The update does not apply: no installation of the device software"
    ;;
HiddenStationCopyImpossible)
    install_suite
    old=$(md5sum <"$list")
    mkdir "$beside"
    hold_list || fail "set-up: the list could not be held open"
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    no_box_record
    [ "$(md5sum <"$list")" = "$old" ] || fail "the list changed"
    expect_event 4 0x0001 "The installation is as it was: $win_list."
    ;;
StagedNameTaken)
    # Another account's folder under the staged file's name in the temp folder: the run
    # stages in a folder of its own and leaves it as it was.
    install_suite
    mkdir -p "$staged"
    echo mine >"$staged/inside"
    before=$(ls -lR --time-style=+%s "$staged"; cat "$staged/inside")
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    cmp -s "$payload" "$list" || fail "the list is not the payload"
    [ "$(ls -lR --time-style=+%s "$staged"; cat "$staged/inside")" = "$before" ] ||
        fail "the planted folder changed"
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    ;;
OtherRunHoldsTheLock)
    # Another run holds the PC-wide lock for 2 s, then for longer than the wait: the run
    # waits, then replaces; or goes on after the wait, replaces, and says so in the log.
    for hold in 2000 30000; do
        install_suite
        log_mask 1
        rm -f "$(log_file)"
        env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" 'Global\Quorlen.RegionList' \
            "$hold" mutex </dev/null >"$bench/holder.out" 2>&1 &
        holder=$!
        for _ in $(seq 100); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
        start=$(date +%s%N)
        unattended service "$build/win64/Quorlen.exe"
        took=$(( ($(date +%s%N) - start) / 1000000 ))
        kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; holder=
        expect_ended
        cmp -s "$payload" "$list" || fail "held $hold ms: the list is not the payload"
        expect_event 1 0x0004 "The region list was replaced: $win_list."
        waited="Another run may be replacing the list: no hold on Global\Quorlen.RegionList: waiting for the mutex failed with error 258; going on without it"
        if [ $hold = 2000 ]; then
            [ $took -ge 1500 ] || fail "the run did not wait for the other: $took ms"
            ! records | grep -qF "$waited" || fail "the run went on without the lock: $(records)"
        else
            [ $took -ge 9500 ] && [ $took -lt 20000 ] || fail "the run took $took ms, not the 10 s wait"
            records | grep -qF "$waited" || fail "no record of the run without the lock: $(records)"
        fi
    done
    ;;
StaleCopyHeldForDeletion)
    # A backup program holds a stale copy beside the list, sharing its deletion, for a
    # minute: the name is free at once, and the run replaces the list.
    install_suite
    echo stale >"$beside"
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" "$win_list.new" 60000 delete \
        </dev/null >"$bench/holder.out" 2>&1 &
    holder=$!
    for _ in $(seq 100); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    cmp -s "$payload" "$list" || fail "the list is not the payload"
    expect_event 1 0x0004 "The region list was replaced: $win_list."
    kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; holder=
    ;;
ShownBoxReportsToo)
    # Someone watches: the box is shown as ever, and the event comes all the same.
    install_suite
    touch -d '2005-01-01 12:00:00 UTC' "$list"
    WINEDEBUG=fixme+advapi,+eventlog wine_cmd "$build/win64/Quorlen.exe" >"$events" 2>&1 &
    pid=$!
    box=$(wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 20000 | tr -d '\r')
    wait "$pid" || fail "exit code $?"
    [[ "$box" == "This update does not support"* ]] || fail "box said '$box'"
    expect_event 3 0x0004 "the region list $win_list was last written on 2005-01-01 (UTC)"
    ;;
RestartPromptHiddenStation)
    log_mask 15
    unattended service "$build/win64/RestartPrompt.exe"
    [ "$launcher" = "exit 0" ] || fail "the prompt did not end by itself with 0: '$launcher'"
    ! records | grep -qF 'Quorlen::RestartDialog' || fail "the dialog was opened: $(records)"
    ;;
*)
    echo "unknown case $case_name"; exit 2 ;;
esac

[ $status -eq 0 ] && echo "$case_name: 1 passed, 0 failed"
exit $status
