#!/usr/bin/env bash
# End-to-end: the settings window opened with Ctrl+, belongs to the main window (the window
# manager is told it is transient for it), and closes on Escape and on Ctrl+W without closing
# the tab behind it, which Ctrl+Q then saves.
#
# usage: flow_settings_escape.sh QUILLET_BINARY
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool xprop xwd xwdtopnm python3 jq" "$0" "$@"

start_quillet
xdotool key --clearmodifiers ctrl+n
wait_until "Ctrl+N showed no tab" tab_shown
xdotool type --delay 10 'still here'

settings_shown() {
    settings=$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -n1 || true)
    [[ -n "$settings" ]]
}
settings_gone() { ! settings_shown; }

for keys in Escape ctrl+w; do
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers ctrl+comma
    wait_until "Ctrl+, opened no settings window" settings_shown
    xprop -id "$settings" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$window")" ||
        fail "the settings window is not transient for the main window"
    xdotool windowfocus --sync "$settings"
    xdotool key --clearmodifiers "$keys"
    wait_until "$keys did not close the settings window" settings_gone
done

quit_quillet
[[ "$(state_texts)" == '"still here"' ]] || fail "the saved tabs are $(state_texts | paste -sd ' ')"
echo "PASS: Escape and Ctrl+W closed the settings window, which stayed transient for the main one"
