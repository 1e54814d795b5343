#!/usr/bin/env bash
# End-to-end: a file changed by another program is not overwritten by Ctrl+S. A restored tab bound
# to a file is saved once, typed into, and then another program replaces the file; Ctrl+S must
# leave the other program's text in place, print the save failure line and show the conflict bar
# above the editor. "Reload" there brings the file's text into the tab, Ctrl+Z brings the tab's
# own text back, and Ctrl+S then writes it. Screenshots go to SCREENSHOT_DIR. Exits 77 (skipped)
# when the X tools are missing.
#
# usage: external_change.sh QUILLET_BINARY SCREENSHOT_DIR
set -euo pipefail

quillet=$1
shots=$2

source "$(dirname "$0")/lib.sh"
run_under_xvfb "xvfb-run xdotool xwd xclip" "$0" "$@"
use_temporary_home
mkdir -p "$shots"
notes=$work/notes.md

fail() {
    echo "FAIL: $*"
    echo "file: $(cat "$notes" 2>/dev/null || echo '(missing)')"
    cat "$work/quillet.log" 2>/dev/null || true
    exit 1
}

shot() {
    local base=$shots/external-change-$1
    rm -f "$base.xwd" "$base.png"
    if command -v xwdtopnm >/dev/null && command -v pnmtopng >/dev/null; then
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$base.png" 2>/dev/null || true
    else
        xwd -root -silent >"$base.xwd"
    fi
}

shown_text() {
    printf '' | xclip -selection clipboard -i
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.3
    xclip -selection clipboard -o 2>/dev/null || true
    xdotool key --clearmodifiers ctrl+End
}

# Waits until the file holds exactly `$1`.
await_file() {
    for _ in $(seq 1 30); do
        [[ "$(cat "$notes")" == "$1" ]] && return 0
        sleep 0.1
    done
    fail "$2"
}

printf 'first' >"$notes"
printf '[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"first","content":"first","filePath":"file://%s","createdAt":"2026-03-01T09:30:00Z"}]' \
    "$notes" >"$state"

"$quillet" >>"$work/quillet.log" 2>&1 &
pids+=("$!")
wait_for_window
xdotool key --clearmodifiers ctrl+s
await_file "first" "the first Ctrl+S did not save"
xdotool key --clearmodifiers ctrl+End
xdotool type --delay 20 ' mine'
sleep 0.3

# Another program writes its version the way editors do: a new file renamed over the old one.
printf 'theirs' >"$work/theirs.tmp"
mv "$work/theirs.tmp" "$notes"
sleep 0.5
xdotool key --clearmodifiers ctrl+s
sleep 0.5
shot 1-conflict
[[ "$(cat "$notes")" == "theirs" ]] || fail "Ctrl+S wrote over the other program's text"
grep -q "^Failed to save file: $notes: the file was changed by another program" "$work/quillet.log" ||
    fail "no save failure line was printed"

# The bar sits right under the tab bar; "Reload" is the first of its two buttons on the right.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH - 140)) 70 click 1
sleep 0.5
shot 2-reloaded
[[ "$(shown_text)" == "theirs" ]] || fail "Reload did not bring the file's text into the tab"
xdotool key --clearmodifiers ctrl+z
sleep 0.3
[[ "$(shown_text)" == "first mine" ]] || fail "Ctrl+Z after Reload did not bring the tab's text back"
xdotool key --clearmodifiers ctrl+s
await_file "first mine" "Ctrl+S after choosing the tab's text did not save it"
shot 3-saved
echo "PASS: the other program's change survived Ctrl+S, and the bar offered both versions"
