#!/usr/bin/env bash
# Quorlen.exe against full volumes, made real: the installation's Data folder on a small
# ext4 filled to its last block, the temp folder on a tiny tmpfs filled likewise. The
# old list is small enough to live in its inode (inline data), as a small file lives in
# its MFT record on NTFS: it needs no block, the new list does. Whatever fails, the list
# must stay the old one, whole, and nothing half-done may stay behind.
# Usage: faults.sh SCRIPTS_DIR BUILD_DIR PAYLOAD CASE
set -uo pipefail
here=$1
build=$2
payload=$3
case_name=$4

# Mounting needs root and loop devices; without them the case cannot be made.
[ "$(id -u)" -eq 0 ] || { echo "skipped: mounting a volume needs root"; exit 77; }
losetup -f >/dev/null 2>&1 || { echo "skipped: no free loop device"; exit 77; }
command -v mkfs.ext4 >/dev/null || { echo "skipped: no mkfs.ext4"; exit 77; }

bench="$build/bench"
source "$(dirname "${BASH_SOURCE[0]}")/row-start.sh"

data=$(suite_data)
list=$(installed_list)
beside="$list.new"
temp_unix="$(prefix_dir)/drive_c/QuorlenFullTemp"
temp_win='C:\QuorlenFullTemp'
image="$bench/faults-volume.img"
session='HKLM\System\CurrentControlSet\Control\Session Manager'
holder=

cleanup() {
    [ -n "$holder" ] && { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }
    for m in "$data" "$temp_unix"; do
        mountpoint -q "$m" && { umount "$m" 2>/dev/null || umount -l "$m"; }
    done
    rm -rf "$(dirname "$data")" "$temp_unix" "$image"
    wine_cmd reg delete "$suite_key" /f >/dev/null 2>&1
    wine_cmd reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1
    wine_cmd reg add 'HKCU\Environment' /v TMP /d 'C:\users\root\Temp' /f >/dev/null 2>&1
    wine_cmd reg add 'HKCU\Environment' /v TEMP /d 'C:\users\root\Temp' /f >/dev/null 2>&1
    rm -f "$(log_file)"
}
cleanup
trap cleanup EXIT

# Fills a mounted volume to its last block.
fill() {
    dd if=/dev/zero of="$1/filler" bs=1k status=none 2>/dev/null
    sync
    [ "$(df --output=avail -B1 "$1" | tail -1 | tr -d ' ')" = 0 ] || fail "set-up: $1 is not full"
}

# The suite, its Data folder on a 1 MB ext4 volume, the old list (19 bytes, read-only,
# dated 2004-12-03) in its inode, and the volume then filled. With "room-for-copy" the
# old list is 3000 bytes (3 blocks) and 2 blocks stay free: room for the new list, none
# for the old one kept beside it.
install_on_full_volume() {
    wine_cmd reg add "$suite_key" /v Installdir /d "1.0,$suite_win" /f >/dev/null
    mkdir -p "$data"
    truncate -s 1M "$image"
    mkfs.ext4 -q -F -m 0 -O inline_data,^has_journal -b 1024 "$image" || fail "set-up: mkfs"
    mount -o loop "$image" "$data" || { fail "set-up: mount"; exit 1; }
    printf 'vraxon.option.old\r\n' >"$list"
    if [ "${1:-}" = room-for-copy ]; then
        head -c 3000 /dev/zero | tr '\0' x >"$list"
        head -c 2048 /dev/zero >"$data/room"
    fi
    chmod 444 "$list"
    touch -d '2004-12-03 12:00:00 UTC' "$list"
    fill "$data"
    rm -f "$data/room"
    old_state=$(list_state)
}
list_state() { echo "$(md5sum <"$list") $(stat -c '%s %a %Y' "$list")"; }

# The updater as a user starts it. With "box", reads its box and presses OK; with
# "no-box", waits for it to end by itself and reads a box only if it does not.
run() {
    rm -f "$(log_file)"
    if [ "$1" = box ]; then
        run_updater
        return
    fi
    wine_cmd "$build/win64/Quorlen.exe" &
    local pid=$!
    for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    box_text=
    kill -0 "$pid" 2>/dev/null &&
        box_text=$(wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 5000 | tr -d '\r')
    wait "$pid"
    updater_rc=$?
}

expect_as_it_was() {
    [ "$updater_rc" = 0 ] || fail "exit code $updater_rc"
    [ "$(list_state)" = "$old_state" ] || fail "the list changed: '$old_state' became '$(list_state)'"
    [ ! -e "$beside" ] || fail "a copy of $(stat -c %s "$beside") bytes was left beside the list"
    local pending
    pending=$(wine_cmd reg query "$session" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
    ! grep -qi vexo_regions <<<"$pending" || fail "a rename is pending: $pending"
}

log_has() { tr -d '\r' <"$(log_file)" 2>/dev/null | grep -qF -- "$1"; }

case "$case_name" in
FullDataVolume|FullDataVolumeListInUse)
    install_on_full_volume
    if [ "$case_name" = FullDataVolumeListInUse ]; then
        hold_list || fail "set-up: the list could not be held open"
    fi
    run box
    [[ "$box_text" == *"could not be completed"* ]] || fail "box said '$box_text'"
    expect_as_it_was
    log_has "Quorlen::FileReplaceCopyFileToSameDrive failed" || fail "no record of the failed copy"
    if [ -n "$holder" ]; then kill "$holder"; wait "$holder" 2>/dev/null; holder=; fi

    # As the box asks: room made, run again. The list still carries its old date, so
    # the update still applies, and now goes through.
    rm -f "$data/filler"
    run box
    [ "$box_text" = "Install Completed" ] || fail "second run: box said '$box_text'"
    cmp -s "$payload" "$list" || fail "second run: the list is not the payload"
    [ ! -e "$beside" ] || fail "second run: a copy was left beside the list"
    ;;
FullDataVolumeNoRoomForOld)
    # The new list fits, the old one kept beside it does not: without it nothing is
    # replaced, the event names the step, and the next run with room goes through.
    install_on_full_volume room-for-copy
    WINEDEBUG=fixme+advapi,+eventlog run box >"$bench/faults-events.txt" 2>&1
    [[ "$box_text" == *"could not be completed"* ]] || fail "box said '$box_text'"
    expect_as_it_was
    [ ! -e "$list.old" ] || fail "a kept list of $(stat -c %s "$list.old") bytes was left"
    grep -qE 'ReportEventW \([0-9A-F]+,0x0001,0x0000,0x00000004,' "$bench/faults-events.txt" ||
        fail "no event 4: $(grep 'ReportEventW (' "$bench/faults-events.txt")"
    grep -F ':eventlog:ReportEventW L"' "$bench/faults-events.txt" | grep -qF 'WriteFile (.old) failed with error 112' ||
        fail "the event does not name the kept list: $(grep ':eventlog:ReportEventW' "$bench/faults-events.txt")"
    rm -f "$data/filler"
    old_list=$(md5sum <"$list")
    run box
    [ "$box_text" = "Install Completed" ] || fail "second run: box said '$box_text'"
    [ "$(md5sum <"$list.old")" = "$old_list" ] || fail "second run: the old list was not kept"
    ;;
FullTempVolume)
    # Staging fails: nothing in the installation is touched and no box is shown.
    wine_cmd reg add "$suite_key" /v Installdir /d "1.0,$suite_win" /f >/dev/null
    mkdir -p "$data" "$temp_unix"
    printf 'vraxon.option.old\r\n' >"$list"
    touch -d '2004-12-03 12:00:00 UTC' "$list"
    old_state=$(list_state)
    mount -t tmpfs -o size=4k tmpfs "$temp_unix" || { fail "set-up: mount tmpfs"; exit 1; }
    fill "$temp_unix"
    wine_cmd reg add 'HKCU\Environment' /v TMP /d "$temp_win" /f >/dev/null
    wine_cmd reg add 'HKCU\Environment' /v TEMP /d "$temp_win" /f >/dev/null
    run no-box
    [ -z "$box_text" ] || fail "a box appeared: '$box_text'"
    expect_as_it_was
    [ -z "$(find "$temp_unix" -mindepth 1 ! -name filler)" ] ||
        fail "staging left $(find "$temp_unix" -mindepth 1 ! -name filler)"
    log_has "Quorlen::ExtractTXT The File is not Completely Written. Problem with FileWrite" ||
        fail "no record of the failed write: $(tr -d '\r' <"$(log_file)" 2>/dev/null)"
    ;;
*)
    echo "unknown case $case_name"; exit 2 ;;
esac

[ $status -eq 0 ] && echo "$case_name: 1 passed, 0 failed"
exit $status
