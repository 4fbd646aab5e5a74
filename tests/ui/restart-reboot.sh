#!/usr/bin/env bash
# Presses "Restart Now" for real, in a Wine prefix and wineserver of its own, and checks
# that Wine carried out the reboot: the prompt's process and the prefix's server end,
# a rename registered for the next boot has been done, and the log shows the request
# without a failure. The shared test prefix is never used and must survive untouched.
# Usage: restart-reboot.sh SOURCE_DIR BENCH_DIR RestartPrompt.exe PressRestartButton.exe
set -uo pipefail
src=$1
bench=$(mkdir -p "$2" && cd "$2" && pwd)
prompt=$3
press=$4

fail() { echo "FAIL: $*"; status=1; }
status=0

# The screen of the bench, nothing else of it.
"$src/scripts/bench" ensure "$bench" >/dev/null || { echo "no bench screen"; exit 1; }
display=$(cat "$bench/display")
shared="$bench/prefix"
# The private prefix that the reboot-time replacement test restarts too.
prefix="$bench/private/prefix"
[ "$prefix" != "$shared" ] || { echo "refusing to reboot the shared prefix"; exit 1; }
mkdir -p "$(dirname "$prefix")"

loader=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
# Every Wine call of this script names the private prefix explicitly.
wine_p() {
    env WINEPREFIX="$prefix" WINELOADER="$loader" WINESERVER="$server" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="$display" LC_ALL=en_US.UTF-8 "$@"
}

# The folder of a prefix's running wineserver (Debian's Wine records its temp folder
# in the prefix), and the server process working in it, if any.
server_dir() {
    local p=$1
    [ -f "$p/wineserver" ] || return 1
    printf '/tmp/%s/server-%x-%x' "$(cat "$p/wineserver")" "$(stat -c %d "$p")" "$(stat -c %i "$p")"
}
server_pid() {
    local dir pid
    dir=$(server_dir "$1") || return 1
    for pid in $(pgrep -x wineserver64); do
        [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$dir" ] && { echo "$pid"; return 0; }
    done
    return 1
}

shared_server_before=$(server_pid "$shared" || true)

started=$(date +%s)
if [ ! -f "$prefix/system.reg" ]; then
    echo "making the private prefix $prefix"
    wine_p "$loader" wineboot -i >"$bench/restart-wineboot.log" 2>&1
    wine_p "$loader" reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
    wine_p "$server" -w
fi
# Start from a stopped server: the prompt opens a fresh session.
wine_p "$server" -k 2>/dev/null
wine_p "$server" -w 2>/dev/null

drive="$prefix/drive_c"
log="$drive/users/root/AppData/Roaming/PatchUpdate_Olvane_Quorlenlog_Zindra.log"
rm -f "$log" "$drive/reboot-marker.txt" "$drive/reboot-marker-moved.txt"
printf '[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n[Modules]\r\nOlvane_Quorlenlog_Zindra=15\r\nDEFAULT=1\r\n[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\nLOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n[LogFileSize]\r\nFILESIZE=524288\r\n' \
    >"$drive/windows/Olvane_Quorlenlog_Zindra.ini"

out=$(mktemp)
wine_p "$loader" "$prompt" </dev/null >"$out" 2>&1 &
prompt_pid=$!

if ! wine_p "$loader" "$press" none 40000 </dev/null >>"$out" 2>&1; then
    fail "the prompt did not appear"
else
    # A rename for the next boot, registered once the session runs (a session start
    # would carry it out by itself): only the reboot's own boot can do it now.
    echo marker >"$drive/reboot-marker.txt"
    wine_p "$loader" reg add 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations /t REG_MULTI_SZ \
        /d '\??\C:\reboot-marker.txt\0!\??\C:\reboot-marker-moved.txt' /f >/dev/null 2>&1 \
        || fail "cannot register the marker rename"
    pressed=$(date +%s.%N)
    wine_p "$loader" "$press" ok 10000 </dev/null >>"$out" 2>&1 || fail "cannot press Restart Now"
fi

# The prompt's process ends, then the prefix's server with every process of it.
for _ in $(seq 200); do kill -0 "$prompt_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$prompt_pid" 2>/dev/null; then fail "the prompt still runs 20 s after the press"; fi
for _ in $(seq 300); do server_pid "$prefix" >/dev/null || break; sleep 0.1; done
if server_pid "$prefix" >/dev/null; then
    fail "the private wineserver still runs 30 s after the press"
else
    awk -v now="$(date +%s.%N)" -v then="${pressed:-0}" \
        'BEGIN { printf "prompt and private wineserver gone %.1f s after the press\n", now - then }' 
fi

[ -f "$drive/reboot-marker-moved.txt" ] && [ ! -f "$drive/reboot-marker.txt" ] \
    || fail "the rename registered for the next boot was not carried out: no reboot"

if [ ! -f "$log" ]; then
    fail "no log in the private prefix"
else
    records=$(tr -d '\r' <"$log")
    [ "$(grep -c '\[Main Trace\], Quorlen::RestartMachine - Entering$' <<<"$records")" = 1 ] \
        || fail "RestartMachine entering record missing or repeated"
    [ "$(grep -c '\[Main Trace\], Quorlen::RestartMachine - Exiting$' <<<"$records")" = 1 ] \
        || fail "RestartMachine exiting record missing or repeated"
    if grep -q '\[Error\]' <<<"$records"; then
        fail "error records: $(grep '\[Error\]' <<<"$records")"
    fi
fi

shared_server_after=$(server_pid "$shared" || true)
[ "$shared_server_before" = "$shared_server_after" ] \
    || fail "the shared prefix's server changed ($shared_server_before -> $shared_server_after)"

# Leave nothing of the private session behind, whatever happened.
wine_p "$server" -k 2>/dev/null
wait "$prompt_pid" 2>/dev/null
[ $status -ne 0 ] && { echo "--- program output"; cat "$out"; }
rm -f "$out"
echo "took $(( $(date +%s) - started )) s"
exit $status
