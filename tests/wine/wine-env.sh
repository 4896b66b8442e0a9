#!/usr/bin/env bash
# Test harness: the Wine environment of one build folder (prefix, Xvfb display, persistent wineserver).
#
#   wine-env.sh --root DIR setup            make (once) and start everything; idempotent
#   wine-env.sh --root DIR run PROGRAM ...  run a Windows program in it (the CMake cross-compiling emulator)
#   wine-env.sh --root DIR teardown         stop the wineserver and the display
#   wine-env.sh --root DIR 32bit-mode       prints whether this kernel runs the 32-bit loader: native or none
#
# TANDEMERE_WINE_DPI=144 (say) gives the prefix that screen resolution instead of 96, as a user's
# scaling of 150 % does; keep one root per resolution.
#
# Every wine process gets the same environment (own WINEPREFIX, DISPLAY, no debug output, no
# Mono/Gecko prompts): a process started without DISPLAY would leave the session unable to show
# dialogs later. Works without stdin and without a terminal.
set -euo pipefail

root=""
if [ "${1:-}" = "--root" ]; then root="$2"; shift 2; fi
[ -n "$root" ] || { echo "wine-env.sh: --root DIR is required" >&2; exit 2; }
cmd="${1:-}"; shift || true

mkdir -p "$root"
root="$(cd "$root" && pwd)"
prefix="$root/prefix"
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
[ -x "$wine64" ] || wine64="$(command -v wine64 || command -v wine)"
# The second drive lies on another file system (tmpfs) for the cross-volume cases.
shm="/dev/shm/tandemere-wine-$(id -u)-$(printf '%s' "$root" | md5sum | cut -c1-12)"
other_drive="t:"

export WINEPREFIX="$prefix"
# Silent but for the loader's own errors, which say why a start failed.
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
export TANDEMERE_TEST_OTHER_VOLUME='T:\'
# At a higher resolution the screen grows with it, so a window keeps the room it has at 96 DPI.
screen=1024x768
[ -n "${TANDEMERE_WINE_DPI:-}" ] && screen="$((1024 * TANDEMERE_WINE_DPI / 96))x$((768 * TANDEMERE_WINE_DPI / 96))"
# Wine's Recycle Bin is the freedesktop.org home trash under XDG_DATA_HOME: the tests' own, beside
# the prefix (so on its file system), never the real home's.
export XDG_DATA_HOME="$root/xdg-data"
unset WINELOADER

lock() { exec 9>"$root/lock"; flock 9; }
unlock() { flock -u 9; exec 9>&-; }

xvfb_alive() {
    [ -f "$root/xvfb.pid" ] || return 1
    local pid; pid="$(cat "$root/xvfb.pid")"
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && grep -q Xvfb "/proc/$pid/cmdline" 2>/dev/null
}

start_xvfb() {
    xvfb_alive && return 0
    local n
    for n in $(seq 90 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        setsid Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
        local pid=$!
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            echo "$pid" >"$root/xvfb.pid"
            echo ":$n" >"$root/display"
            return 0
        fi
    done
    echo "wine-env.sh: could not start Xvfb" >&2
    return 1
}

start_server() {
    # A persistent server, its output away from ctest's pipes (else ctest waits for it forever).
    # A second start while one runs for this prefix exits at once.
    (setsid wineserver -p </dev/null >/dev/null 2>&1 9>&- &)
}

make_prefix() {
    [ -f "$prefix/.tandemere-ready-2" ] && return 0
    rm -rf "$prefix"
    # No persistent server yet, so that `wineserver -w` returns when wineboot's whole session has
    # ended: wineboot itself returns before the 32-bit half of the prefix is installed, and the
    # server's end below once cut that half short on a slow (emulated) machine, leaving 32-bit
    # programs without system DLLs.
    "$wine64" wineboot -i </dev/null >"$root/wineboot.log" 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    [ -d "$prefix/drive_c/windows" ] || { echo "wine-env.sh: wineboot made no prefix, see $root/wineboot.log" >&2; return 1; }
    if [ -x "$wine32" ] && [ ! -f "$prefix/drive_c/windows/syswow64/sechost.dll" ]; then
        echo "wine-env.sh: wineboot left the prefix's 32-bit half incomplete, see $root/wineboot.log" >&2
        return 1
    fi
    # Wine's own fonts (Debian's Wine does not load them) and a virtual desktop, so windows have
    # frames and close quickly without a window manager. The progress and log windows ask for
    # "MS Sans Serif": its bitmap face gives Windows' dialog base units of 6 by 13 at 8 points (the
    # outline one gives 7 by 13). A change here needs a new marker name above, so old prefixes are
    # made again.
    mkdir -p "$prefix/drive_c/windows/Fonts"
    local f
    for f in tahoma.ttf tahomabd.ttf marlett.ttf sserife.fon; do
        [ -f "/usr/share/wine/fonts/$f" ] && cp "/usr/share/wine/fonts/$f" "$prefix/drive_c/windows/Fonts/"
    done
    for f in /usr/share/fonts/truetype/wqy/wqy-microhei.ttc /usr/share/fonts/truetype/noto/NotoSansCJK-Regular.ttc; do
        [ -f "$f" ] && cp "$f" "$prefix/drive_c/windows/Fonts/"
    done
    start_server
    "$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1 9>&-
    "$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1 9>&-
    # wineboot's session started its desktop before the settings above existed (no virtual
    # desktop: windows without frames); the next session starts with them.
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    touch "$prefix/.tandemere-ready-2"
}

# The screen resolution Wine reports (LogPixels), read by each process as it starts.
set_dpi() {
    local dpi="${TANDEMERE_WINE_DPI:-}"
    [ -n "$dpi" ] || return 0
    [ -f "$prefix/.tandemere-dpi-$dpi-$screen" ] && return 0
    start_server
    "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1 9>&-
    "$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f </dev/null >/dev/null 2>&1 9>&-
    "$wine64" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
        /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1 9>&-
    # The desktop process started with the old value: the next session starts with the new one.
    wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w </dev/null >/dev/null 2>&1 9>&- || true
    touch "$prefix/.tandemere-dpi-$dpi-$screen"
}

map_other_drive() {
    mkdir -p "$shm"
    local link="$prefix/dosdevices/$other_drive"
    if [ "$(readlink "$link" 2>/dev/null)" != "$shm" ]; then
        rm -f "$link"
        ln -s "$shm" "$link"
    fi
}

setup() {
    lock
    start_xvfb
    export DISPLAY; DISPLAY="$(cat "$root/display")"
    make_prefix
    set_dpi
    map_other_drive
    # Wine makes only the last folder of its trash path; without the rest its bin is missing and
    # its delete with undo deletes for good.
    mkdir -p "$XDG_DATA_HOME"
    start_server
    # The first wine process of a session starts Wine's services, which inherit its output: make
    # that one ours, on /dev/null, else a test run through `run` (ctest's test discovery after a
    # teardown, say) keeps ctest's pipe open until it times out. Costs little on a warm server.
    "$wine64" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    unlock
}

case "$cmd" in
    setup)
        setup
        ;;
    run)
        [ $# -ge 1 ] || { echo "wine-env.sh: run needs a program" >&2; exit 2; }
        setup
        program="$1"; shift
        # Wine cannot run a program image that lies on a 9p share (the 32-bit test machine's view
        # of the build folder, see vm32.sh): it stops at its entry. Such a program runs from a copy.
        if [ "$(findmnt -n -o FSTYPE -T "$program" 2>/dev/null)" = "9p" ]; then
            copy="$(mktemp -d)/$(basename "$program")"
            cp "$program" "$copy"
            program="$copy"
        fi
        # A test program creates the file TANDEMERE_START_MARKER names as its own code starts
        # (tests/wine/start_marker.cpp). One that ended in failure without creating it never ran
        # an instruction of ours: Wine's loader gave up on the start. Only such a start is tried
        # again, and it is said so. Other programs run once.
        if ! grep -qaF TANDEMERE_START_MARKER "$program"; then
            exec "$wine64" "$program" "$@"
        fi
        marker_dir="$(mktemp -d)"
        trap 'rm -rf "$marker_dir"' EXIT
        export TANDEMERE_START_MARKER="Z:$(printf '%s' "$marker_dir/started" | tr / '\\')"
        # Each attempt's output is kept too, so a retry's log says what Wine printed.
        for attempt in 1 2 3; do
            set +e
            "$wine64" "$program" "$@" 2>&1 | tee "$marker_dir/output"
            rc=${PIPESTATUS[0]}
            set -e
            { [ "$rc" -ne 0 ] && [ ! -e "$marker_dir/started" ]; } || break
            {
                echo "wine-env.sh: $(date -u +%FT%TZ) $(basename "$program") $* ended with status $rc" \
                     "before its own code ran (attempt $attempt of 3); its output:"
                sed -e 's/^/    /' "$marker_dir/output"
            } | tee -a "$root/start-retries.log" >&2
        done
        exit "$rc"
        ;;
    teardown)
        lock
        if [ -d "$prefix" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
        if xvfb_alive; then kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true; fi
        rm -f "$root/xvfb.pid" "$root/display"
        rm -rf "$shm"
        unlock
        ;;
    32bit-mode)
        # The 32-bit loader runs only where the kernel runs 32-bit programs; qemu's user-mode
        # emulation, where registered, does not count (Wine's per-thread state breaks under it).
        if [ -x "$wine32" ] && ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 &&
           "$wine32" --version </dev/null >/dev/null 2>&1; then
            echo native
        else
            echo none
        fi
        ;;
    *)
        echo "usage: wine-env.sh --root DIR setup|run PROGRAM...|teardown|32bit-mode" >&2
        exit 2
        ;;
esac
