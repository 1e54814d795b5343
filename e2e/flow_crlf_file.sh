#!/usr/bin/env bash
# Flow: a file with CR LF line ends opened with Ctrl+O through the file dialog, a line added at
# its end, Ctrl+S. Every line end of the saved file is still CR LF, the new one included.
#
# usage: flow_crlf_file.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
begin_flow "xdotool jq" "$0" "$@"

file=$work/windows.txt
printf 'one\r\ntwo\r\nthree' >"$file"
dialog_shown() { xdotool search --onlyvisible --name '^Open' >/dev/null 2>&1 || \
    xdotool search --onlyvisible --class 'QFileDialog' >/dev/null 2>&1; }
dialog_gone() { ! dialog_shown; }
saved() { grep -q four "$file"; }

start_quillet
press ctrl+o
wait_until "Ctrl+O opened no file dialog" dialog_shown
sleep 0.3
type_text "$file"
press Return
wait_until "the file dialog did not close" dialog_gone
wait_for_window
press ctrl+End Return
type_text four
press ctrl+s
wait_until "Ctrl+S did not save the file" saved
shot flow-crlf-file
quit_quillet

expected=$(printf 'one\r\ntwo\r\nthree\r\nfour' | od -c)
[[ "$(od -c <"$file")" == "$expected" ]] || fail "the saved file holds: $(od -c <"$file")"
echo "PASS: the saved file kept its CR LF line ends"
