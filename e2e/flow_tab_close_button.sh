#!/usr/bin/env bash
# End-to-end: a long title typed into a new tab, then that tab closed with its own close button,
# found in a screenshot of the tab bar. The tab must grow with its title and keep its button at
# its right end; Ctrl+Q then leaves only the first tab in the state file.
#
# usage: flow_tab_close_button.sh QUILLET_BINARY SCREENSHOT_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool xwd xwdtopnm python3 jq" "$0" "$@"


start_quillet

# Sets `button` to where the selected tab's close button is on screen.
selected_close_button() {
    button=$(find_on_screen close-button "$shots/tab_close_button.png")
}
# Waits for the selected tab's close button to appear right of column `$1`.
await_close_button_past() {
    local column=$1
    past() { selected_close_button && ((${button%% *} > column)); }
    wait_until "$2" past
}

xdotool key --clearmodifiers ctrl+n
await_close_button_past 0 "Ctrl+N showed no tab"
xdotool type --delay 10 'keep me'
xdotool key --clearmodifiers ctrl+t
await_close_button_past "${button%% *}" "Ctrl+T showed no second tab"
xdotool type --delay 10 'Hello first tab, with a rather long title typed at length'
# The tab follows its title as it grows, its close button at its right end all along.
await_close_button_past $((${button%% *} + 100)) "the long-titled tab shows no close button"
xdotool mousemove $button click 1

quit_quillet
[[ "$(state_texts)" == '"keep me"' ]] || fail "the saved tabs are $(state_texts | paste -sd ' ')"
echo "PASS: the long-titled tab kept its close button, and a click on it closed that tab"
