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
        window=$(xdotool search --onlyvisible --name 'Quillet$' 2>/dev/null | head -n1 || true)
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || fail "no Quillet window appeared"
    xdotool windowfocus --sync "$window"
    sleep 0.5
}
