# Shared by the scripts: paths, the Windows test build, and the Xvfb and
# wineserver that the Windows tests run beside. Source it; it defines
# functions only, and q_stop_started undoes what the q_start_* functions did.

Q_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
Q_BUILD="$Q_ROOT/build"

# Which Windows build the tests run from. The program ships as 32-bit, but
# some machines (this project's own among them) cannot execute 32-bit code at
# all: there the same sources built for 64-bit Windows run under wine64.
q_windows_test_preset() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo win; else echo win64; fi
}

q_wine_loader() {
    if [ "$1" = win ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

q_configure_and_build() {
    local preset=$1
    if [ ! -f "$Q_BUILD/$preset/build.ninja" ]; then
        cmake --preset "$preset" >"$Q_BUILD/configure-$preset.log" 2>&1 || {
            cat "$Q_BUILD/configure-$preset.log" >&2
            return 1
        }
    fi
    cmake --build "$Q_BUILD/$preset" >"$Q_BUILD/build-$preset.log" 2>&1 || {
        grep -E "error|FAILED" "$Q_BUILD/build-$preset.log" | head -n 40 >&2
        echo "build of $preset failed: $Q_BUILD/build-$preset.log" >&2
        return 1
    }
}

Q_XVFB_PID=""
Q_WINESERVER_STARTED=""

# The start of every script that builds: the packages it needs, the build
# folder, and the clean-up of whatever the q_start_* functions start.
q_begin() {
    "$Q_ROOT/scripts/setup" || exit 1
    mkdir -p "$Q_BUILD"
    trap 'q_stop_started' EXIT
    trap 'q_stop_started; exit 130' INT TERM
}

# Prints the script's usage (its function usage) for -h and --help; exits.
q_help_requested() {
    case "${1:-}" in
        -h | --help) usage; exit 0 ;;
    esac
}

# An Xvfb of our own on the first free display number from 90 up.
q_start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    Q_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        kill -0 "$Q_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "could not start Xvfb on :$n" >&2
    return 1
}

# A Wine prefix inside the build folder of the preset, and a persistent
# wineserver for it, so that each test process starts in tens of ms.
q_start_wine() {
    local preset=$1
    export WINEPREFIX="$Q_BUILD/$preset/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINELOADER=$(q_wine_loader "$preset")
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    q_prefix_fonts || return 1
    wineserver -p >/dev/null 2>&1 </dev/null
    Q_WINESERVER_STARTED=1
    # The first Wine process starts the prefix's services, which then keep
    # its output open; start them here so that no test's output is held.
    "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null || true
    # No window manager runs beside Xvfb: with unmanaged windows Wine does not
    # wait for one (about 2 s) each time a window is hidden or destroyed.
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1 </dev/null || true
    # Keep the desktop in use for the whole run: Wine closes it a second after
    # its last user ends, and the next GUI test then starts a desktop process
    # that holds the test's output open for that second. wineserver -k ends it.
    local keeper="$Q_BUILD/$preset/tests/support/desktop_keeper.exe"
    [ -f "$keeper" ] && "$WINELOADER" "$keeper" >/dev/null 2>&1 </dev/null &
}

# Wine's own Windows fonts (Debian's fonts-wine): Tahoma, which Wine gives
# for the default GUI font, and Marlett, which draws the caption buttons. They
# sit in a folder this Wine does not search, so they are copied into the
# prefix's Fonts folder, where Wine finds them as Windows would. Copies, not
# links, so that a prefix and the test bed's copies of it hold what they show.
# The list in q7700-contents tells the test bed when a copy it made is stale.
q_prefix_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" file
    if [ -d /usr/share/wine/fonts ]; then
        mkdir -p "$fonts" && cp -pu /usr/share/wine/fonts/* "$fonts/" || return 1
    fi
    for file in /usr/share/wine/fonts/*; do
        [ -f "$file" ] && echo "font $(basename "$file") $(stat -c %s "$file")"
    done >"$WINEPREFIX/q7700-contents"
}

q_stop_started() {
    if [ -n "$Q_WINESERVER_STARTED" ]; then
        wineserver -k >/dev/null 2>&1 || true
        Q_WINESERVER_STARTED=""
    fi
    if [ -n "$Q_XVFB_PID" ]; then
        kill "$Q_XVFB_PID" 2>/dev/null || true
        wait "$Q_XVFB_PID" 2>/dev/null || true
        Q_XVFB_PID=""
    fi
}

# The C++ files that do not match .clang-format, one a line; none when all do.
q_unformatted_files() {
    { git -C "$Q_ROOT" ls-files -- '*.cpp' '*.h' 2>/dev/null ||
        (cd "$Q_ROOT" && find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'); } |
        while read -r file; do
            clang-format --dry-run --Werror "$Q_ROOT/$file" >/dev/null 2>&1 || echo "$file"
        done
}

# Installs the Debian packages given when they are missing, as root; says so
# and goes on when it cannot (no root, no network), for what only some
# figures need.
q_install_optional() {
    local missing="" package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q " installed$" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ] || ! {
        apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
            --no-install-recommends $missing
    } >"$Q_BUILD/install-optional.log" 2>&1; then
        echo "note: could not install$missing (see $Q_BUILD/install-optional.log); going on without" >&2
    fi
    return 0
}
