#!/usr/bin/env bash
# Flow: a file changed by another program is not overwritten by Ctrl+S. A restored tab bound to a
# file is saved once, typed into, and then another program replaces the file; Ctrl+S must leave
# the other program's text in place, print the save failure line and show the conflict bar above
# the editor. Its "Reload" (Alt+R) brings the file's text into the tab, Ctrl+Z brings the tab's
# own text back, and Ctrl+S then writes it.
#
# usage: flow_external_change.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool xclip jq" "$0" "$@"
notes=$work/notes.md

# The editor's whole text, through the clipboard.
shown_text() {
    printf '' | xclip -selection clipboard -i
    press ctrl+a ctrl+c
    xclip -selection clipboard -o 2>/dev/null || true
    press ctrl+End
}
shows() { [[ "$(shown_text)" == "$1" ]]; }
file_holds() { [[ "$(cat "$notes")" == "$1" ]]; }
printed() { grep -q "$1" "$work/quillet.log"; }

printf 'first' >"$notes"
printf '[{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","title":"first","content":"first","filePath":"file://%s","createdAt":"2026-03-01T09:30:00Z"}]' \
    "$notes" >"$state"
start_quillet
press ctrl+s
wait_until "the first Ctrl+S did not save" file_holds "first"
press ctrl+End
type_text ' mine'
wait_until "the typing did not reach the tab" shows "first mine"

# Another program writes its version the way editors do: a new file renamed over the old one.
printf 'theirs' >"$work/theirs.tmp"
mv "$work/theirs.tmp" "$notes"
press ctrl+s
wait_until "no save failure line was printed" \
    printed "^Failed to save file: $notes: the file was changed by another program"
shot external-change-conflict
file_holds "theirs" || fail "Ctrl+S wrote over the other program's text"

press alt+r
wait_until "Reload did not bring the file's text into the tab" shows "theirs"
press ctrl+z
wait_until "Ctrl+Z after Reload did not bring the tab's text back" shows "first mine"
press ctrl+s
wait_until "Ctrl+S after choosing the tab's text did not save it" file_holds "first mine"
shot external-change-saved
quit_quillet
echo "PASS: the other program's change survived Ctrl+S, and the bar offered both versions"
