#!/usr/bin/env bash
# Flow: what a screen reader finds, and the tab strip without the mouse. With two tabs restored,
# the AT-SPI tree of the running binary holds a page tab list of the two tabs named by their
# titles, one of them selected, each with its "Close <title>" button, and a status bar whose
# labels read "Unsaved" and whose button names the preview mode. With the preview beside the
# editor (Ctrl+P), the tree holds it as a document whose heading and paragraph read as shown.
# Back in the editor alone, F6 twice reaches the selected tab, Delete closes it, and the saved
# tabs keep only the other one.
#
# usage: flow_screen_reader.sh QUILLET_BINARY [SCREENSHOT_DIR]
set -euo pipefail
quillet=$1
shots=${2:-}
source "$(dirname "$0")/lib.sh"
run_under_xvfb "Xvfb xdotool dbus-run-session jq" "$0" "$@"
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: python3-pyatspi is not installed"
    exit 77
fi
if [[ -z "${QUILLET_E2E_BUS:-}" ]]; then
    QUILLET_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
use_temporary_home
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

write_state '"alpha\n\n# Plan *now*"' '"beta\n\n# Plan *now*"'
start_quillet
read_tree() {
    tree=$(/usr/bin/python3 "$(dirname "$0")/accessible_tree.py" 2>>"$work/quillet.log")
}
expect() {
    grep -qxF "$1" <<<"$tree" || fail "the accessibility tree lacks \"$1\": $(paste -sd ' ' <<<"$tree")"
}
read_tree
expect "page tab list||"
expect "push button|Close alpha|"
expect "push button|Close beta|"
expect "push button|Preview mode: Edit|"
expect "status bar||"
expect "label|Unsaved|"
[[ $(grep -c '^page tab|\(alpha\|beta\)|' <<<"$tree") == 2 ]] || fail "not two named tabs: $tree"
[[ $(grep -c '^page tab|.*|selected$' <<<"$tree") == 1 ]] || fail "not one selected tab: $tree"
selected=$(sed -n 's/^page tab|\(.*\)|selected$/\1/p' <<<"$tree")
other=$([[ $selected == alpha ]] && echo beta || echo alpha)

press ctrl+p
shows_preview() { read_tree && grep -qxF "document frame|Preview|" <<<"$tree"; }
wait_until "Ctrl+P showed no preview document in the accessibility tree" shows_preview
expect "push button|Preview mode: Split|"
expect "document frame|Preview|"
expect "paragraph|$selected|"
expect "heading|Plan now|"
press ctrl+p ctrl+p

press F6 F6 Delete
shot flow-screen-reader
quit_quillet
state_is "\"$other\\n\\n# Plan *now*\"" || fail "F6, F6, Delete left $(state_texts | paste -sd ' ')"
echo "PASS: the tabs, the status bar and the preview's text are read by a screen reader; F6 and Delete close a tab"
