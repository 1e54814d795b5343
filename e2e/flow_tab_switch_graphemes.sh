#!/usr/bin/env bash
# Flow: the caret carried over by a tab switch lands inside a character (the middle of an emoji's
# surrogate pair, between a letter and its combining accent); typing must still insert whole
# characters before or after it, never split one.
#
# usage: flow_tab_switch_graphemes.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool jq" "$0" "$@"

# "abc", two emoji (two UTF-16 units each), and two times e followed by U+0301.
write_state '"abc"' '"\ud83d\ude00\ud83d\ude00"' '"e\u0301e\u0301"'
start_quillet
# The end of "abc" is offset 3, inside the second emoji of the next tab; after the x the caret
# is at 3 again, between the second e of the third tab and its accent.
press ctrl+End ctrl+shift+bracketright
type_text x
press ctrl+shift+bracketright
type_text y
shot flow-graphemes
quit_quillet

state_is '"abc"' '"\ud83d\ude00x\ud83d\ude00"' '"e\u0301ye\u0301"' ||
    fail "the tabs hold $(state_texts | paste -sd ' ')"
echo "PASS: typing after tab switches kept every character whole"
