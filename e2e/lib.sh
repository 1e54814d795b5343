# Shared by the end-to-end scripts; sourced, never run. The caller sets `fail` before using
# wait_for_window, and lists the processes it starts in `pids` so the exit trap ends them.

# Re-runs the calling script inside a fresh Xvfb, or exits 77 (skipped) when a tool is missing.
# usage: run_under_xvfb "tool ..." "$0" "$@"
run_under_xvfb() {
    [[ -n "${QUILLET_E2E_INNER:-}" ]] && return 0
    local tool
    for tool in $1; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
    shift
    QUILLET_E2E_INNER=1 exec timeout 50 xvfb-run -a -s "-screen 0 1280x800x24" bash "$@"
}

# A throwaway home with its own data, config and runtime folders, removed at exit with every
# process in `pids`. Sets `work` and `state` (the saved-tabs file).
use_temporary_home() {
    work=$(mktemp -d)
    pids=()
    trap 'for started in "${pids[@]}"; do kill "$started" 2>/dev/null || true; done
          wait 2>/dev/null || true; rm -rf "$work"' EXIT
    export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
    export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/Quillet/autosave"
    chmod 700 "$XDG_RUNTIME_DIR"
    state=$XDG_DATA_HOME/Quillet/autosave/tabs.json
}

# Waits for the Quillet window to appear and focuses it; sets `window`.
wait_for_window() {
    window=
    for _ in $(seq 1 100); do
        window=$(xdotool search --onlyvisible --name '^Quillet$' 2>/dev/null | head -n1 || true)
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || fail "no Quillet window appeared"
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# Polls a command every 0.1 s until it succeeds, for at most `$1` seconds, or fails with `$2`.
# usage: await_condition SECONDS "what did not happen" command [args...]
await_condition() {
    local seconds=$1 what=$2
    shift 2
    for _ in $(seq 1 $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what"
}

# Waits for the main window, whose title ends with "Quillet" (it may name the tab first), and
# focuses it; sets `window`.
await_main_window() {
    window=
    for _ in $(seq 1 100); do
        window=$(xdotool search --onlyvisible --name 'Quillet$' 2>/dev/null | head -n1 || true)
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || fail "no Quillet window appeared"
    xdotool windowfocus --sync "$window"
}

# Prints the position and size of window `$1` on the screen: "X Y WIDTH HEIGHT".
window_geometry() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# Writes the whole screen as a PPM picture to `$1`, and as PNG beside it when `$2` names one.
grab_screen() {
    xwd -root -silent | xwdtopnm 2>/dev/null >"$1" || fail "no screenshot could be taken"
    [[ -z "${2:-}" ]] || pnmtopng <"$1" >"$2" 2>/dev/null || true
}

# Prints the text of each saved tab, one JSON string a line, in the state file's order.
saved_texts() {
    python3 -c 'import json, sys
for tab in json.load(open(sys.argv[1])): print(json.dumps(tab["content"]))' "$state" 2>/dev/null
}
