#!/usr/bin/env bash
# Flow: typing, Ctrl+P three times (split, preview, back to the editor), typing again and undo.
# The editor must come back as it was left: the caret where it was, and its undo history whole.
#
# usage: flow_preview_cycle.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool jq" "$0" "$@"
printf '[General]\nautoSaveInterval=1\n' >"$config"

write_state '"# Notes\nline two"'
start_quillet
press ctrl+End
type_text A
press ctrl+p ctrl+p
shot flow-preview-cycle-preview
press ctrl+p
type_text B
shot flow-preview-cycle-edit
wait_until "the text typed after the preview cycle is not at the caret" \
    state_is '"# Notes\nline twoAB"'
press ctrl+z ctrl+z
quit_quillet

state_is '"# Notes\nline two"' || fail "undo after the preview cycle left $(state_texts)"
echo "PASS: the editor kept its caret and undo history through the preview cycle"
