# Sourced by scripts that play the update in a prefix of their own (the demo, the reboot
# test): an installed suite, the updater run with its box read and dismissed.
# Needs: $bench (bench folder), $build (build folder), $here (scripts folder).

suite_key='HKLM\SOFTWARE\Tessaly\Lumenfold\Parmel\Strings'
suite_win='C:\Program Files\Tessaly Suite'

wine_cmd() { "$here/wine-run" "$bench" "$@"; }

# Unix paths inside the prefix.
prefix_dir() { echo "$bench/prefix"; }
suite_data() { echo "$(prefix_dir)/drive_c/Program Files/Tessaly Suite/Data"; }
installed_list() { echo "$(suite_data)/vexo_regions.txt"; }
log_file() {
    echo "$(prefix_dir)/drive_c/users/$(id -un)/AppData/Roaming/PatchUpdate_Olvane_Quorlenlog_Zindra.log"
}

# The suite as the field has it: registry value and an older list dated 2004-12-03 (UTC).
install_suite() {
    wine_cmd reg add "$suite_key" /v Installdir /d "1.0,$suite_win" /f >/dev/null
    mkdir -p "$(suite_data)"
    printf 'vraxon.option.africa\r\nvraxon.option.germany\r\nvraxon.option.us\r\n' >"$(installed_list)"
    touch -d '2004-12-03 12:00:00 UTC' "$(installed_list)"
}

# Holds the installed list open for reading in a second program, as another program
# reading it would, for a minute at most; sets holder to its process. Straight to a
# file, not through wine-run, which hands output over only at the end. A suffix holds
# the file of that name beside the list instead, a mode holds it as FileHolder's does.
hold_list() {  # [SUFFIX [MODE]]
    env LC_ALL=en_US.UTF-8 "$WINELOADER" "$build/win64/tests/FileHolder.exe" \
        "$suite_win\\Data\\vexo_regions.txt${1:-}" 60000 ${2:-} </dev/null >"$bench/holder.out" 2>&1 &
    holder=$!
    for _ in $(seq 300); do grep -q holding "$bench/holder.out" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

# Runs the updater, waits for its box, saves a screenshot (when $1 names a file),
# presses OK and waits for the exit. Sets box_text and updater_rc.
run_updater() {
    local shot=${1:-}
    wine_cmd "$build/win64/Quorlen.exe" &
    local pid=$!
    box_text=$(wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 30000 --wait-only | tr -d '\r')
    if [ -n "$box_text" ] && [ -n "$shot" ]; then
        sleep 0.5
        local geometry
        geometry=$(DISPLAY=$(cat "$bench/display") xwininfo -name Olvane 2>/dev/null |
            awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2}
                 END{if (w) printf "%dx%d+%d+%d", w, h, x, y}')
        DISPLAY=$(cat "$bench/display") import -window root ${geometry:+-crop "$geometry"} "$shot" 2>/dev/null || true
    fi
    [ -n "$box_text" ] && wine_cmd "$build/win64/tests/BoxWatcher.exe" Olvane 10000 >/dev/null
    wait "$pid"
    updater_rc=$?
}

# The staging folders that runs left in a temp folder (Unix path): 12 hex digits each.
staging_left() { find "$1" -mindepth 1 -maxdepth 1 -type d -regextype egrep -regex '.*/[0-9a-f]{12}' 2>/dev/null; }

describe_list() {
    local f=$1
    if [ -f "$f" ]; then
        echo "    $(stat -c %s "$f") bytes, last written $(date -u -r "$f" '+%Y-%m-%d %H:%M UTC'), md5 $(md5sum <"$f" | cut -d' ' -f1)"
        head -n 3 "$f" | tr -d '\r' | sed 's/^/    | /'
        echo "    | ... ($(wc -l <"$f") lines)"
    else
        echo "    (absent)"
    fi
}
