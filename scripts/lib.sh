# lib.sh -- set-up shared by scripts/test, scripts/run and scripts/bench (sourced, not run).

ROOT=$(cd "$(dirname "$0")/.." && pwd)
WINEPREFIX_DIR="$ROOT/build/windows/wineprefix"

NATIVE_PACKAGES="cmake make g++ pkg-config libgtest-dev googletest libbenchmark-dev
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libwebp-dev libxdamage-dev xvfb
  clang libclang-rt-14-dev libwayland-dev libwayland-bin wayland-protocols
  libxkbcommon-dev"
# The X screen saver's display mode: X libraries, the daemon and the installed display modes that
# its tests and benchmark run beside it, and what packaging and the checks of the release files use.
HACK_PACKAGES="libx11-dev libxext-dev libxrandr-dev libxml2-dev x11-utils imagemagick
  xscreensaver xscreensaver-gl xscreensaver-data xscreensaver-data-extra dpkg-dev file
  lintian zip unzip"
# The Wayland screen saver (built from NATIVE_PACKAGES): the headless compositor, the screenshot
# and key tools and the idle daemon that its tests, scripts/run and scripts/bench use.
WAYLAND_PACKAGES="sway grim wtype swayidle"
# ripplefield-wayland's idle sources and the compositors their tests run: KDE's idle protocol,
# sd-bus, and kwin_wayland, mutter and weston with the session bus that kwin and mutter run under.
COMPOSITOR_PACKAGES="plasma-wayland-protocols libsystemd-dev kwin-wayland mutter weston dbus-daemon
  dbus-bin"
# What scripts/release needs beyond those: a clone of the commit, the Windows compiler (no Wine)
# and, for --verify, the tool that shows how two files differ.
RELEASE_PACKAGES="git g++-mingw-w64-i686-posix binutils-mingw-w64-i686 diffoscope-minimal"
# The page in the browser: emscripten builds its WebAssembly (its tools run on Node), Chromium and
# Firefox run its tests, which npm's modules drive (npm itself is added where no Node brought one).
WEB_PACKAGES="emscripten chromium firefox-esr nodejs"
WINDOWS_PACKAGES="g++-mingw-w64-i686-posix wine wine32:i386 wine32-preloader:i386 wine64
  libgl1-mesa-dri:i386 libglx-mesa0:i386 x11-utils xdotool imagemagick"

# The arm64 build (the arm64 preset): the cross compiler, and the arm64 libraries that the
# programs and tests link, with Mesa's software rasteriser to run them; qemu runs the programs.
ARM64_PACKAGES="g++-aarch64-linux-gnu libc6-dev:arm64 libgtest-dev:arm64 libbenchmark-dev:arm64
  libegl-dev:arm64 libgl-dev:arm64 libopengl-dev:arm64 libegl-mesa0:arm64 libgl1-mesa-dri:arm64
  libpng-dev:arm64 libwebp-dev:arm64 libxdamage-dev:arm64 libwayland-dev:arm64
  libxkbcommon-dev:arm64 libx11-dev:arm64 libxext-dev:arm64 libxrandr-dev:arm64 libxml2-dev:arm64
  libsystemd-dev:arm64"

log() { printf '== %s\n' "$*"; }

# Processor time of a process and all its threads (GL drivers draw on threads of their own), in
# clock ticks; the command name in parentheses may hold spaces, so fields count from after it.
cpu_ticks() {
    sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'
}

# The processor's model name, for the benchmarks' tables.
cpu_model() {
    cpu=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1)
    printf '%s\n' "${cpu:-unknown CPU}"
}

missing_packages() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' ||
            printf '%s ' "$p"
    done
}

# apt-get ARGS, waiting up to ten minutes for another apt or dpkg to let go of apt's locks. apt
# itself waits for dpkg's locks but gives up the package lists' and the downloads' at once, so
# those tries are made again here. A lock still held after that is reported in one line.
apt_get() {
    apt_errors=$(mktemp) || return 1
    apt_deadline=$(($(date +%s) + 600))
    while :; do
        apt_wait=$((apt_deadline - $(date +%s)))
        [ "$apt_wait" -lt 0 ] && apt_wait=0
        apt-get -o DPkg::Lock::Timeout="$apt_wait" "$@" 2>"$apt_errors"
        apt_status=$?
        apt_locked=$(grep -m 1 -E '^E: (Could not get lock|Unable to (lock|acquire))' \
            "$apt_errors" | cut -c 4-)
        [ "$apt_status" -ne 0 ] && [ -n "$apt_locked" ] && [ "$apt_wait" -gt 0 ] || break
        sleep 1
    done
    if [ "$apt_status" -ne 0 ] && [ -n "$apt_locked" ]; then
        log "apt-get $1 gave up after waiting 10 minutes: $apt_locked" >&2
    else
        cat "$apt_errors" >&2
    fi
    rm -f "$apt_errors"
    return "$apt_status"
}

APT_UPDATED=
apt_update() {
    [ -n "$APT_UPDATED" ] && return 0
    apt_get update -qq && APT_UPDATED=1
}

# With recommended packages, as Wine was tried and tested here.
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt_get install -y -qq "$@" >/dev/null
}

# Installs what is missing. 32-bit programs must be able to run before 32-bit Wine is installed,
# whose set-up runs some of them.
install_packages() {
    # 32-bit Wine needs the i386 architecture before its packages can even be looked up.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        APT_UPDATED=
    fi
    missing=$(missing_packages $NATIVE_PACKAGES $HACK_PACKAGES $WAYLAND_PACKAGES \
        $COMPOSITOR_PACKAGES $WINDOWS_PACKAGES)
    if [ -n "$missing" ]; then
        log "installing: $missing"
        apt_update || return 1
    fi
    if [ ! -e /lib/ld-linux.so.2 ]; then
        apt_update && apt_install libc6:i386 || return 1
    fi
    enable_i386_programs || { log "cannot run 32-bit programs"; return 1; }
    [ -z "$missing" ] && return 0
    # shellcheck disable=SC2086
    apt_install $missing
}

# The URI from which the machine's own apt sources take Debian's bookworm main suite, so that
# backports come through the same mirror or proxy. Reads one-line (.list) and deb822 (.sources)
# files under the root given (default /).
debian_archive_uri() {
    etc="${1:-}/etc/apt"
    for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        # deb [options] URI SUITE COMPONENT...
        uri=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" | awk '
            $1 == "deb" && $3 == "bookworm" {
                for (i = 4; i <= NF; i++) if ($i == "main") { print $2; exit }
            }')
        [ -n "$uri" ] && { printf '%s\n' "$uri"; return 0; }
    done
    for f in "$etc"/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # Stanzas of "Field: value" lines, apart by blank lines.
        uri=$(awk '
            function has(list, word) { return (" " list " ") ~ (" " word " ") }
            function stanza() {
                if (has(types, "deb") && has(suites, "bookworm") && has(parts, "main") &&
                    uris != "" && enabled != "no") {
                    split(uris, u, " "); print u[1]; found = 1; exit
                }
                types = suites = parts = uris = enabled = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { stanza(); next }
            /^[^ \t]/ && index($0, ":") > 0 {
                key = tolower(substr($0, 1, index($0, ":") - 1))
                value = substr($0, index($0, ":") + 1)
                gsub(/[ \t]+/, " ", value); sub(/^ /, "", value); sub(/ $/, "", value)
                if (key == "types") types = value
                else if (key == "uris") uris = value
                else if (key == "suites") suites = value
                else if (key == "components") parts = value
                else if (key == "enabled") enabled = tolower(value)
            }
            END { if (!found) stanza() }' "$f")
        [ -n "$uri" ] && { printf '%s\n' "$uri"; return 0; }
    done
    return 1
}

# Installs what the native build, the display mode and its tests need, without Wine.
install_native_packages() {
    # shellcheck disable=SC2086
    missing=$(missing_packages $NATIVE_PACKAGES $HACK_PACKAGES $WAYLAND_PACKAGES $COMPOSITOR_PACKAGES)
    [ -z "$missing" ] && return 0
    log "installing: $missing"
    apt_update || return 1
    # shellcheck disable=SC2086
    apt_install $missing
}

# The 32-bit Wine is an i386 Linux program. A kernel built without 32-bit support runs it through
# qemu's user-mode emulator instead: version 10 (bookworm-backports), since under 7.2 the address
# space left to Wine is too small for Mesa's LLVM and Wine's own services crash.
enable_i386_programs() {
    if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ ! -f /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        return 0 # the kernel runs them itself
    fi
    if ! qemu-i386 --version 2>/dev/null | grep -q 'version \(1[0-9]\|[2-9][0-9]\)\.'; then
        log "installing qemu's user-mode emulator from bookworm-backports"
        if ! grep -qs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/*; then
            uri=$(debian_archive_uri) ||
                { log "no Debian source for bookworm main in apt's sources"; return 1; }
            printf '%s\n' 'Types: deb' "URIs: $uri" \
                'Suites: bookworm-backports' 'Components: main' \
                'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
                >/etc/apt/sources.list.d/bookworm-backports.sources
            APT_UPDATED=
        fi
        apt_update || return 1
        DEBIAN_FRONTEND=noninteractive apt_get install -y -qq -t bookworm-backports qemu-user \
            >/dev/null || return 1
    fi
    register_qemu i386 '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' ||
        return 1
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# register_qemu ARCH MAGIC:MASK: has the kernel run that architecture's ELF programs through
# qemu-ARCH; F keeps the emulator open for programs started in other mount namespaces or as other
# users.
register_qemu() {
    misc=/proc/sys/fs/binfmt_misc
    [ -f "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc" || return 1
    grep -qs "interpreter /usr/bin/qemu-$1\$" "$misc/qemu-$1" && return 0
    [ -f "$misc/qemu-$1" ] && echo -1 >"$misc/qemu-$1"
    printf '%s' ":qemu-$1:M::$2:/usr/bin/qemu-$1:F" >"$misc/register"
}

# Installs the arm64 build's packages and lets the kernel run arm64 programs through qemu.
install_arm64_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        dpkg --add-architecture arm64
        APT_UPDATED=
    fi
    # shellcheck disable=SC2086
    missing=$(missing_packages $ARM64_PACKAGES)
    if [ -n "$missing" ]; then
        log "installing: $missing"
        apt_update || return 1
        align_linux_libc_dev || return 1
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive apt_get install -y -qq --no-remove $missing >/dev/null ||
            return 1
    fi
    enable_arm64_programs || { log "cannot run arm64 programs"; return 1; }
}

# The C library's kernel headers come in one version for all architectures: where the amd64 one
# installed is not the version that arm64's C library gets (an image older than the archive), both
# move to the archive's.
align_linux_libc_dev() {
    want=$(apt-cache policy linux-libc-dev:arm64 | sed -n 's/^ *Candidate: //p')
    [ -n "$want" ] && [ "$want" != "(none)" ] || return 1
    have=$(dpkg-query -W -f='${Version}' linux-libc-dev:amd64 2>/dev/null)
    [ "$have" = "$want" ] && return 0
    log "linux-libc-dev: $have to $want, for arm64's"
    DEBIAN_FRONTEND=noninteractive apt_get install -y -qq --no-remove \
        "linux-libc-dev:amd64=$want" "linux-libc-dev:arm64=$want" >/dev/null
}

# arm64 programs run through qemu's user-mode emulator (qemu-user: the backports' version where
# enable_i386_programs has installed it), registered with binfmt_misc so that tests can start
# them as any program.
enable_arm64_programs() {
    if ! command -v qemu-aarch64 >/dev/null 2>&1; then
        apt_update && apt_install qemu-user || return 1
    fi
    register_qemu aarch64 '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' ||
        return 1
    [ -e /lib/ld-linux-aarch64.so.1 ] && /lib/ld-linux-aarch64.so.1 --version >/dev/null 2>&1
}

# Starts a private X server on a free display; it is stopped by its PID when the script exits.
# The server picks the display itself: a lock file or socket path says nothing about servers in
# other mount namespaces, which hold their displays' abstract sockets all the same.
XVFB_PID=
start_xvfb() {
    displays=$(mktemp)
    # -noreset: otherwise the pointer jumps to the centre whenever the last client goes.
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -noreset +iglx -nolisten tcp \
        3>"$displays" >/dev/null 2>&1 &
    XVFB_PID=$!
    trap stop_xvfb EXIT
    for _ in $(seq 100); do
        n=$(head -n 1 "$displays")
        if [ -n "$n" ]; then
            rm -f "$displays"
            export DISPLAY=":$n"
            return 0
        fi
        sleep 0.1
    done
    rm -f "$displays"
    log "Xvfb did not start"
    return 1
}

# Creates the build tree's Wine prefix once and keeps one Wine session open while the script
# runs, so that each test program starts in half a second instead of bringing Wine's services up.
start_wine_session() {
    "$ROOT/cmake/wine-prefix" "$WINEPREFIX_DIR" || return 1
    keepalive="$ROOT/build/windows/tests/wine_keepalive.exe"
    if [ ! -f "$keepalive" ]; then
        cmake --preset windows >/dev/null && cmake --build --preset windows --target wine_keepalive \
            >/dev/null || return 1
    fi
    WINEPREFIX="$WINEPREFIX_DIR" wineserver -p
    WINEPREFIX="$WINEPREFIX_DIR" WINEDEBUG=-all wine "$keepalive" >/dev/null 2>&1 &
}

stop_xvfb() {
    WINEPREFIX="$WINEPREFIX_DIR" wineserver -k >/dev/null 2>&1
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

# Installs what the page's build, tests and benchmark need.
install_web_packages() {
    # shellcheck disable=SC2086
    missing=$(missing_packages $WEB_PACKAGES)
    command -v npm >/dev/null 2>&1 || missing="$missing npm"
    [ -z "$missing" ] && return 0
    log "installing: $missing"
    apt_update || return 1
    # shellcheck disable=SC2086
    apt_install $missing
}

# build_web [SOURCE]: builds the page, its script, ripplefield.wasm and ripplefield-fma.wasm into
# SOURCE/build/web (the site; SOURCE is the checkout, ROOT by default) with emscripten, whose
# Debian package finds its Node modules through NODE_PATH. The second module has a tree of its own,
# build/web-fma.
build_web() {
    src=${1:-$ROOT}
    export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
    mkdir -p "$src/build/web" "$src/build/web-fma" || return 1
    { emcmake cmake -S "$src/web" -B "$src/build/web" -DCMAKE_BUILD_TYPE=Release &&
        emcmake cmake -S "$src/web" -B "$src/build/web-fma" -DCMAKE_BUILD_TYPE=Release \
            -DRIPPLEFIELD_RELAXED_SIMD=ON -DRIPPLEFIELD_SITE="$src/build/web"; } \
        >"$src/build/web-configure.log" 2>&1 || { cat "$src/build/web-configure.log"; return 1; }
    cmake --build "$src/build/web" -j2 && cmake --build "$src/build/web-fma" -j2
}

# The web tests' Node modules, as tests/web/package-lock.json pins them, in build/web-tests;
# installed again only when the lock file changes.
install_web_test_modules() {
    dir="$ROOT/build/web-tests"
    if [ ! -d "$dir/node_modules" ] || ! cmp -s "$ROOT/tests/web/package-lock.json" \
        "$dir/package-lock.json"; then
        rm -rf "$dir" && mkdir -p "$dir" &&
            cp "$ROOT/tests/web/package.json" "$ROOT/tests/web/package-lock.json" "$dir/" &&
            (cd "$dir" && npm ci --no-audit --no-fund >/dev/null) || return 1
    fi
    export NODE_PATH="$dir/node_modules${NODE_PATH:+:$NODE_PATH}"
}

# Serves build/web on a free port of the loopback interface until the script exits; WEB_URL is
# the address the server reports for itself.
WEB_URL=
serve_web() {
    (cd "$ROOT/build/web" && exec python3 -m http.server 0 --bind 127.0.0.1) \
        >"$ROOT/build/web-server.log" 2>&1 &
    web_server_pid=$!
    trap 'kill "$web_server_pid" 2>/dev/null' EXIT
    for _ in $(seq 50); do
        WEB_URL=$(sed -n 's/^Serving HTTP on .*(\([^)]*\)).*/\1/p' "$ROOT/build/web-server.log")
        [ -n "$WEB_URL" ] && return 0
        sleep 0.1
    done
    cat "$ROOT/build/web-server.log"
    return 1
}
