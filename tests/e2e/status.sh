#!/usr/bin/env bash
# QuorlenStatus.vbs under Wine's cscript, as agents and startup scripts ask it: its exit
# code and its line for each state of a PC, with and without /run. The system version
# and the time-zone bias are written into the prefix as the Windows played keeps them.
# Usage: status.sh SCRIPTS_DIR BUILD_DIR PAYLOAD CASE
set -uo pipefail
here=$1 build=$2 payload=$3 case_name=$4
bench="$build/bench"
# Restarting a prefix ends all its processes: never the suite's.
case "$case_name" in HeldThenRestarted|UndoBeforeRestart) bench="$build/bench/private" ;; esac
source "$(dirname "${BASH_SOURCE[0]}")/row-start.sh"

list=$(installed_list)
state() { echo "$(md5sum <"$1" | cut -d" " -f1) $(stat -c %Y "$1")"; }  # what an undo must keep
winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }
script=$(winpath "$build/win64/QuorlenStatus.vbs")
nt='Software\Microsoft\Windows NT\CurrentVersion'
nt_was=$(wine_cmd reg query "HKLM\\$nt" /v CurrentVersion | tr -d '\r' | awk '$1 == "CurrentVersion" {print $3}')
# Plays Windows NT_VERSION (and Wine's own VERSION alike) with a zone bias, no
# installation, and no pending moves but PENDING, in one regedit run. BIAS and PENDING
# are regedit data; "-" deletes the value.
windows() {  # VERSION NT_VERSION BIAS [PENDING]
    sed 's/$/\r/' >"$bench/status.reg" <<EOF
REGEDIT4

[-HKEY_LOCAL_MACHINE${suite_key#HKLM}]
[HKEY_CURRENT_USER\Software\Wine]
"Version"="$1"
[HKEY_LOCAL_MACHINE\\$nt]
"CurrentVersion"="$2"
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\TimeZoneInformation]
"ActiveTimeBias"=$3
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager]
"PendingFileRenameOperations"=${4:--}
EOF
    wine_cmd regedit /s "$(winpath "$bench/status.reg")"
}
bias() { printf 'dword:%08x' $(( $1 & 0xFFFFFFFF )); }
# Regedit data of a list of moves: the strings in order (an empty one deletes), then the end.
moves() { echo "hex(7):$(printf '%s\0' "$@" | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//')00"; }
list_win="$suite_win\\Data\\vexo_regions.txt"
holder=
staged="$(prefix_dir)/drive_c/users/$(id -un)/Temp/vexo_regions.txt"
cleanup() {
    [ -n "$holder" ] && { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }
    windows winxp "${nt_was:-6.1}" -
    rm -rf "$(dirname "$(suite_data)")" "$(prefix_dir)/drive_c/doomed.txt" "$staged" "$bench/stand-in"
    [ "$case_name" != RunAgreesWithTheEvent ] ||
        wine_cmd reg add 'HKCU\Environment' /v TMP /d 'C:\users\root\Temp' /f >/dev/null 2>&1
    [ -n "${user_suite:-}" ] || return 0
    rm -rf "$user_suite"
    user_wine reg delete "$suite_key" /f >/dev/null 2>&1
    user_wine reg add "HKLM\\$nt" /v CurrentVersion /d "${user_nt_was:-6.1}" /f >/dev/null
}
trap 'cleanup; [ "$bench" = "$build/bench" ] || "$here/bench" stop "$bench" >/dev/null 2>&1' EXIT
windows winxp 5.1 "$(bias 0)"
export TZ=UTC

# Asks the script through HOST (cscript, wscript) with ARGS; codes above 255 are cut on
# the Unix side, so cmd echoes the code.
ask() {
    local host=$1; shift
    wine_cmd cmd /v:on /c "$host //nologo $script $* & echo !errorlevel!" | tr -d '\r' >"$bench/answer"
    answered
}
answered() { code=$(tail -n 1 "$bench/answer") line=$(head -n -1 "$bench/answer"); }
pressing() {  # presses the box that the updater shows
    wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 20000 >/dev/null & local watcher=$!
    "$@"; wait $watcher
}
expect() {  # CODE TEXT
    [ "$code" = "$1" ] || fail "exit code $code, not $1 ($line)"
    [[ "$line" == *"$2"* ]] || fail "the line '$line' does not say '$2'"
}

case "$case_name" in
NoInstallation) ask cscript; expect 2 "no installation of the device software" ;;
NoInstallationRun) pressing ask cscript /run; expect 0 "The update does not apply" ;;
UndoAfterReplace)
    # The run keeps the old list beside the new one; the undo puts it back with its date,
    # and then the update applies again.
    install_suite; old=$(state "$list")
    pressing ask cscript /run; expect 0 "The region list is the new one"
    [ "$(state "$list.old")" = "$old" ] || fail "kept beside it: '$(state "$list.old")', not '$old'"
    ask cscript /undo; expect 0 "put back"
    [ "$(state "$list")" = "$old" ] || fail "after the undo: '$(state "$list")', not '$old'"
    ask cscript; expect 1603 "was last written on 2004-12-03 (UTC)"
    pressing ask cscript /run; expect 0 "The region list is the new one" ;;
UndoNothingKept)
    install_suite; old=$(state "$list")
    ask cscript /undo /run; expect 1 "do not go together"
    ask cscript /undo; expect 2 "nothing to undo"
    cp -p "$list" "$list.old"; touch -d '2004-12-04 12:00 UTC' "$list.old"
    ask cscript /undo; expect 2 "nothing to undo"
    [ "$(state "$list")" = "$old" ] || fail "the list changed"
    mkdir -p "$bench/alone"; cp "$build/win64/QuorlenStatus.vbs" "$bench/alone/"
    script=$(winpath "$bench/alone/QuorlenStatus.vbs") ask cscript /undo; expect 1 "QuorlenUndo.exe is not beside"
    rm -rf "$bench/alone" ;;
UndoListHeld|UndoCopyHeld)
    # The list held for writing, or a waiting new list held so that it cannot go: the
    # undo changes nothing.
    install_suite; cp -p "$list" "$list.old"; cp "$payload" "$list"
    if [ "$case_name" = UndoListHeld ]; then hold_list "" write; else cp "$payload" "$list.new"; hold_list .new; fi ||
        fail "set-up: not held"
    before=$(ls "$(suite_data)"; for f in "$(suite_data)"/*; do state "$f"; done)
    ask cscript /undo; expect 1603 "could not be put back"
    [ "$(ls "$(suite_data)"; for f in "$(suite_data)"/*; do state "$f"; done)" = "$before" ] || fail "the files changed" ;;
UndoBeforeRestart)
    # A run that waits for the restart keeps the old list too. The undo removes the waiting
    # new list, so the restart moves nothing, and the list stays the old one.
    install_suite; old=$(state "$list")
    hold_list || fail "set-up: the list could not be held open"
    pressing ask cscript /run; expect 3010 "waits as"
    [ "$(state "$list.old")" = "$old" ] || fail "kept beside it: '$(state "$list.old")', not '$old'"
    kill "$holder"; wait "$holder" 2>/dev/null; holder=
    ask cscript /undo; expect 0 "put back"
    [ ! -e "$list.new" ] || fail "the waiting new list is still there"
    "$WINESERVER" -k; "$WINESERVER" -w
    env LC_ALL=en_US.UTF-8 "$WINELOADER" wineboot -r >/dev/null 2>&1; "$WINESERVER" -w
    [ "$(state "$list")" = "$old" ] || fail "after the restart: '$(state "$list")', not '$old'"
    ask cscript; expect 1603 "was last written on 2004-12-03 (UTC)" ;;
Superseded) install_suite; ask cscript; expect 1603 "$suite_win\\Data\\vexo_regions.txt was last written on 2004-12-03 (UTC)" ;;
HeldThenRestarted)
    # A delete registered first: a reader of the multi-string that stops at its first
    # empty string sees that delete alone.
    : >"$(prefix_dir)/drive_c/doomed.txt"
    windows winxp 5.1 "$(bias 0)" "$(moves '\??\C:\doomed.txt' '')"
    install_suite
    hold_list || fail "set-up: the list could not be held open"
    pressing ask cscript /run; expect 3010 "waits as $suite_win\\Data\\vexo_regions.txt.new"
    kill "$holder"; wait "$holder" 2>/dev/null; holder=
    "$WINESERVER" -k; "$WINESERVER" -w
    env LC_ALL=en_US.UTF-8 "$WINELOADER" wineboot -r >/dev/null 2>&1; "$WINESERVER" -w
    ask cscript; expect 0 "The region list is the new one"
    [ ! -e "$(prefix_dir)/drive_c/doomed.txt" ] || fail "the delete registered first was not carried out"
    ;;
NewListOtherDate) install_suite; cp "$payload" "$list"; ask cscript; expect 0 "is the new one: $suite_win" ;;
OtherList) install_suite; touch -d '2005-01-01 12:00 UTC' "$list"; ask cscript; expect 2 "last written on 2005-01-01 (UTC)" ;;
WholeCopyNoList) install_suite; cp "$payload" "$list.new"; rm "$list"; ask cscript; expect 1603 "waits beside it as" ;;
WholeCopyNoListWscript)
    # Under wscript an echo is a box that waits for a click: it must end by itself.
    install_suite; cp "$payload" "$list.new"; rm "$list"
    ask wscript & pid=$!
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
    kill -0 $pid 2>/dev/null && { fail "it waits after 20 s"; wine_cmd "$build/win64/tests/BoxWatcher.exe" "Windows Script Host" 5000 >/dev/null; }
    wait $pid; answered; expect 1603 "" ;;
Server2003) windows win2003 5.2 "$(bias 0)"; install_suite; ask cscript; expect 2 "the system is Windows 5.2" ;;
NewYorkSuperseded) windows winxp 5.1 "$(bias 300)"; install_suite; touch -d '2004-12-03 00:30 UTC' "$list"; TZ=America/New_York ask cscript; expect 1603 "on 2004-12-03 (UTC)" ;;
TokyoOtherDay) windows winxp 5.1 "$(bias -540)"; install_suite; touch -d '2004-12-02 23:30 UTC' "$list"; TZ=Asia/Tokyo ask cscript; expect 2 "on 2004-12-02 (UTC)" ;;
RunInHiddenStation)
    install_suite
    out=$(wine_cmd "$build/win64/tests/UnattendedLauncher.exe" service 30000 'C:\windows\system32\cscript.exe' //nologo "$script" /run | tr -d '\r')
    [[ "$out" == *"exit 0"* ]] || fail "the launcher says '$out', not exit 0"
    cmp -s "$payload" "$list" || fail "the list was not replaced"
    ;;
RunWithoutZoneChecks)
    # A stand-in for the updater beside a copy of the script writes the environment it
    # was started with: XP SP2's shell asks nothing with this variable set.
    mkdir -p "$bench/stand-in"; cp "$build/win64/QuorlenStatus.vbs" "$bench/stand-in/"
    cp "$build/win64/tests/EnvironmentWriter.exe" "$bench/stand-in/Quorlen.exe"
    script=$(winpath "$bench/stand-in/QuorlenStatus.vbs") ask cscript /run; expect 0 "no installation"
    grep -qx 'SEE_MASK_NOZONECHECKS=1' "$bench/stand-in/environment.txt" ||
        fail "the updater's environment: $(grep -i zone "$bench/stand-in/environment.txt" || echo 'no SEE_MASK_NOZONECHECKS')" ;;
WholeCopyNoMove) install_suite; cp "$payload" "$list.new"; ask cscript; expect 1603 "no move registered for the next start names it: a run of Quorlen.exe finishes it" ;;
WholeCopyMoveAfterDelete)
    # Registered in another case than the script spells it, after a delete.
    windows winxp 5.1 "$(bias 0)" "$(moves '\??\C:\doomed.txt' '' "\\??\\${list_win^^}.NEW" "!\\??\\$list_win")"
    install_suite; cp "$payload" "$list.new"; ask cscript; expect 3010 "at the next restart: its move is registered" ;;
WholeCopyMoveForOtherFile)
    # Two moves, each naming one of the pair's two files, neither naming both.
    windows winxp 5.1 "$(bias 0)" "$(moves "\\??\\$list_win.new" "!\\??\\$list_win.old" "\\??\\$list_win.new.tmp" "!\\??\\$list_win")"
    install_suite; cp "$payload" "$list.new"; ask cscript; expect 1603 "no move registered for the next start names it" ;;
OtherCopyWithMove)
    # The size of the new list, one byte not: no move makes it the new list.
    windows winxp 5.1 "$(bias 0)" "$(moves "\\??\\$list_win.new" "!\\??\\$list_win")"
    install_suite; { printf X; tail -c +2 "$payload"; } >"$list.new"
    ask cscript; expect 1603 "$list_win.new beside it is not the new list" ;;
Windows2000Superseded)
    windows win2k 5.0 "$(bias 0)"; install_suite; cp "$payload" "$list.new"
    ask cscript; expect 1603 "was last written on 2004-12-03 (UTC); the whole new list waits beside it" ;;
RunAgreesWithTheEvent)
    # For each outcome the updater can be brought to here, /run's code against its event.
    run_outcome() {  # EVENT CODE
        local out event got
        out=$(WINEDEBUG=fixme+advapi,+eventlog wine_cmd "$build/win64/tests/UnattendedLauncher.exe" service 60000 \
            'C:\windows\system32\cscript.exe' //nologo "$script" /run 2>&1 | tr -d '\r')
        event=$(sed -nE 's/.*fixme:advapi:ReportEventW \([0-9A-F]+,0x[0-9A-F]+,0x[0-9A-F]+,0x0*([0-9A-F]+),.*/\1/p' <<<"$out")
        got=$(sed -nE 's/^exit ([0-9]+)$/\1/p' <<<"$out")
        echo "event ${event:-none}: code ${got:-none}"
        [ "$event" = "$1" ] && [ "$got" = "$2" ] || fail "event ${event:-none} and code ${got:-none}, not event $1 and code $2"
        [ -n "$holder" ] && { kill "$holder"; wait "$holder" 2>/dev/null; holder=; }
        windows winxp 5.1 "$(bias 0)"; rm -rf "$(dirname "$(suite_data)")" "$staged"
    }
    install_suite; run_outcome 1 0
    install_suite; hold_list || fail "set-up: the list could not be held open"; run_outcome 2 3010
    run_outcome 3 0
    install_suite; mkdir "$list.new"; hold_list || fail "set-up: the list could not be held open"; run_outcome 4 1603
    install_suite; rm "$list"; mkdir "$list"; run_outcome 4 1
    # A temp folder that is not there: no staging folder can be made in it.
    install_suite; wine_cmd reg add 'HKCU\Environment' /v TMP /d 'C:\QuorlenNoTemp' /f >/dev/null
    run_outcome 5 1603; wine_cmd reg add 'HKCU\Environment' /v TMP /d 'C:\users\root\Temp' /f >/dev/null
    install_suite; cp "$payload" "$list"; run_outcome 6 0
    ;;
DataFolderClosedToTheAccount)
    # An account without rights, whose installation's Data folder it may not open: whether
    # a list is there is not known (with /run the updater's event says 4).
    [ "$(id -u)" -eq 0 ] || { echo "skipped: needs root"; exit 77; }
    "$here/user-bench" ensure "$bench" "$build/win64/Quorlen.exe" "$build/win64/QuorlenStatus.vbs" \
        "$build/win64/tests/UnattendedLauncher.exe" || fail "set-up: no unprivileged bench"
    source "$here/user-bench-env"
    user_suite="$user_prefix/drive_c/Program Files/Tessaly Suite"
    user_nt_was=$(user_wine reg query "HKLM\\$nt" /v CurrentVersion | tr -d '\r' | awk '$1 == "CurrentVersion" {print $3}')
    user_wine reg add "HKLM\\$nt" /v CurrentVersion /d 5.1 /f >/dev/null
    user_wine reg add "$suite_key" /v Installdir /d "1.0,$suite_win" /f >/dev/null
    mkdir -p "$user_suite/Data"; printf 'old\r\n' >"$user_suite/Data/vexo_regions.txt"; chmod 700 "$user_suite/Data"
    user_script=$(winpath "$user_bin/QuorlenStatus.vbs")
    user_wine cmd /v:on /c "cscript //nologo $user_script & echo !errorlevel!" | tr -d '\r' >"$bench/answer"
    answered; expect 1 "looking at $list_win failed"
    out=$(WINEDEBUG=fixme+advapi,+eventlog user_wine "$user_bin/UnattendedLauncher.exe" service 60000 \
        'C:\windows\system32\cscript.exe' //nologo "$user_script" /run | tr -d '\r')
    [[ "$out" == *"exit 1"* ]] || fail "with /run: '$(grep '^exit' <<<"$out")', not exit 1"
    grep -qE 'fixme:advapi:ReportEventW \([0-9A-F]+,0x0001,0x0000,0x00000004,' <<<"$out" || fail "no event 4: $out"
    ;;
*) echo "unknown case $case_name"; exit 2 ;;
esac

[ $status -eq 0 ] && echo "$case_name: 1 passed, 0 failed"
exit $status
