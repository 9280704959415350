# lib-sway.sh -- a private headless sway for scripts/run --wayland and scripts/bench-wayland
# (sourced after lib.sh). sway will not run as root: it runs as a system user, with a runtime
# directory of its own and one 1280x720 output at 60 Hz.

SWAY_USER=ripplefield-sway
SWAY_PID=
SWAY_DIR=

# Starts it and exports what its clients need: XDG_RUNTIME_DIR, WAYLAND_DISPLAY and SWAYSOCK.
start_sway() {
    if ! id "$SWAY_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$SWAY_USER" || return 1
    fi
    SWAY_DIR=$(mktemp -d /tmp/ripplefield-sway-XXXXXX) || return 1
    printf 'xwayland disable\n' >"$SWAY_DIR/config"
    chown -R "$SWAY_USER" "$SWAY_DIR" && chmod 700 "$SWAY_DIR" || return 1
    (cd / && exec setpriv --reuid="$(id -u "$SWAY_USER")" --regid="$(id -g "$SWAY_USER")" \
        --clear-groups env -i HOME="$SWAY_DIR" XDG_RUNTIME_DIR="$SWAY_DIR" PATH=/usr/bin:/bin \
        WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$SWAY_DIR/config") >"$SWAY_DIR/sway.log" 2>&1 &
    SWAY_PID=$!
    for _ in $(seq 100); do
        socket=$(ls "$SWAY_DIR" | grep -x 'wayland-[0-9]*' | head -n 1)
        ipc=$(ls "$SWAY_DIR" | grep '^sway-ipc\..*\.sock$' | head -n 1)
        if [ -n "$socket" ] && [ -n "$ipc" ]; then
            export XDG_RUNTIME_DIR="$SWAY_DIR" WAYLAND_DISPLAY="$socket" SWAYSOCK="$SWAY_DIR/$ipc"
            swaymsg -q output HEADLESS-1 enable 2>/dev/null && return 0
        fi
        sleep 0.1
    done
    log "sway did not start; its log:"
    cat "$SWAY_DIR/sway.log"
    stop_sway
    return 1
}

stop_sway() {
    if [ -n "$SWAY_PID" ]; then
        kill "$SWAY_PID" 2>/dev/null
        wait "$SWAY_PID" 2>/dev/null
    fi
    [ -n "$SWAY_DIR" ] && rm -rf "$SWAY_DIR"
    SWAY_PID=
    SWAY_DIR=
}
