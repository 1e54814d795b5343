#!/usr/bin/env bash
# End-to-end: the window at its minimum size, 600 x 400. The status bar still shows "Unsaved" as
# the first thing at its left (the shortcut reminders give way before it), the text typed is
# kept, and the welcome view that the last Ctrl+W brings back still offers a new scratchpad.
#
# usage: flow_minimum_size.sh QUILLET_BINARY SCREENSHOT_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool xwd xwdtopnm python3 jq" "$0" "$@"


start_quillet
# The editor is ready for keys once the tab bar shows a selected tab.
no_tab_shown() { ! tab_shown; }

xdotool key --clearmodifiers ctrl+n
wait_until "Ctrl+N showed no tab" tab_shown
xdotool type --delay 10 'small window'
xdotool windowsize "$window" 600 400
at_minimum() { [[ "$(window_geometry "$window" | cut -d' ' -f3,4)" == "600 400" ]]; }
wait_until "the window did not take 600 x 400" at_minimum

# "Unsaved" is drawn in the faintest tone (black at 65 %, about 84 on this background); the
# reminders, in the darker one (78 %, about 53), would come first if they still crowded the bar.
unsaved_first() {
    local darkest
    darkest=$(find_on_screen status-first "$shots/minimum_size.png") && ((darkest > 68))
}
wait_until "the status bar does not start with \"Unsaved\" at 600 x 400" unsaved_first

xdotool key --clearmodifiers ctrl+w
wait_until "Ctrl+W did not bring the welcome view back" no_tab_shown
xdotool key --clearmodifiers ctrl+n
wait_until "Ctrl+N showed no tab at 600 x 400" tab_shown
xdotool type --delay 10 'after the welcome view'
quit_quillet
[[ "$(state_texts)" == '"after the welcome view"' ]] ||
    fail "the saved tabs are $(state_texts | paste -sd ' ')"
echo "PASS: at 600 x 400 the status bar shows \"Unsaved\" first, and the welcome view still works"
