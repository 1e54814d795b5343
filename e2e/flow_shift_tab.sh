#!/usr/bin/env bash
# Flow: Shift+Tab (and Alt+Tab, which no window manager takes here) in the editor, then typing.
# Focus stays in the editor, no tab character goes in, and every key typed next reaches the text.
#
# usage: flow_shift_tab.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool jq" "$0" "$@"

write_state '"abc"'
start_quillet
press ctrl+End shift+Tab
type_text x
press alt+Tab
type_text y
shot flow-shift-tab
quit_quillet

state_is '"abcxy"' || fail "Shift+Tab and Alt+Tab then typing left $(state_texts)"
echo "PASS: focus stayed in the editor through Shift+Tab and Alt+Tab"
