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
"$here/bench" ensure "$bench" || { echo "FAIL: the bench did not start"; exit 1; }
source "$here/bench-env" "$bench"
source "$here/suite-lib.sh"

status=0
fail() { echo "FAIL ($case_name): $*"; status=1; }

list=$(installed_list)
beside="$list.new"
staged="$(prefix_dir)/drive_c/users/$(id -un)/Temp/vexo_regions.txt"
ini="$(prefix_dir)/drive_c/windows/Olvane_Quorlenlog_Zindra.ini"
session='HKLM\System\CurrentControlSet\Control\Session Manager'
events="$bench/unattended-events.txt"
holder=

cleanup() {
    [ -n "$holder" ] && { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }
    wine_cmd reg delete "$suite_key" /f >/dev/null 2>&1
    wine_cmd reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
    rm -rf "$(dirname "$(suite_data)")" "$staged" "$ini" "$events"
    rm -f "$(log_file)"
}
cleanup
trap cleanup EXIT

log_mask() {
    printf '[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n[Modules]\r\nOlvane_Quorlenlog_Zindra=%s\r\nDEFAULT=1\r\n[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\nLOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n[LogFileSize]\r\nFILESIZE=524288\r\n' "$1" >"$ini"
}
records() { tr -d '\r' <"$(log_file)" 2>/dev/null; }

hold_list() {
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" \
        "$suite_win\\Data\\vexo_regions.txt" 60000 </dev/null >"$bench/holder.out" 2>&1 &
    holder=$!
    for _ in $(seq 300); do grep -q holding "$bench/holder.out" 2>/dev/null && break; sleep 0.1; done
    grep -q holding "$bench/holder.out" || fail "set-up: the list could not be held open"
}

# Starts PROGRAM where MODE says and waits at most 20 s: a run that needs longer waits
# for somebody who is not there.
unattended() {
    local mode=$1 program=$2 out
    out=$(WINEDEBUG=fixme+advapi,+eventlog wine_cmd "$build/win64/tests/UnattendedLauncher.exe" \
        "$mode" 20000 "Z:$program" 2>&1)
    printf '%s\n' "$out" >"$events"
    launcher=$(grep -E '^(exit [0-9]+|timeout)' <<<"$out" | tr -d '\r')
}

# The one event of the run: ID, type and text, as ReportEventW saw them.
expect_event() {
    local id=$1 type=$2 text=${3//\\/\\\\} calls  # Wine prints each backslash twice
    calls=$(grep -c 'fixme:advapi:ReportEventW' "$events")
    [ "$calls" = 1 ] || fail "$calls events were written, not 1"
    grep -qE "ReportEventW \([0-9A-F]+,$type,0x0000,0x0000000$id," "$events" ||
        fail "no event $id of type $type: $(grep 'ReportEventW (' "$events")"
    grep -E ':eventlog:ReportEventW L"' "$events" | grep -qF -- "$text" ||
        fail "the event does not say '$text': $(grep ':eventlog:ReportEventW' "$events")"
}

# What every unattended run of the updater must leave: an end, exit code 0, nothing
# staged, and the box it could not show in the log (where the mask writes errors).
expect_ended() {
    [ "$launcher" = "exit 0" ] || fail "the run did not end by itself with 0: '$launcher'"
    [ ! -e "$staged" ] || fail "the staged file was left in the temp folder"
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
    ;;
SecondDesktopWaits)
    install_suite
    hold_list
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
    hold_list
    unattended service "$build/win64/Quorlen.exe"
    expect_ended
    no_box_record
    [ "$(md5sum <"$list")" = "$old" ] || fail "the list changed"
    expect_event 4 0x0001 "The installation is as it was: $win_list."
    ;;
HiddenStationStagingFails)
    install_suite
    old=$(md5sum <"$list")
    mkdir -p "$staged"
    unattended service "$build/win64/Quorlen.exe"
    [ "$launcher" = "exit 0" ] || fail "the run did not end by itself with 0: '$launcher'"
    [ -d "$staged" ] || fail "the folder in the staged file's place is gone"
    [ "$(md5sum <"$list")" = "$old" ] || fail "the list changed"
    expect_event 5 0x0001 "The run stopped before the installation was touched: the region list could not be staged"
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
