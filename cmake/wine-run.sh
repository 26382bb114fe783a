#!/usr/bin/env bash
# Runs one x86_64 Windows program under Wine for CTest, the scripts and the
# benchmarks. It owns the project-local prefix (made on first use), a persistent
# wineserver and an Xvfb display, and bounds every run with a time-out so that a
# hung or crashing program fails instead of hanging the caller.
#
#   VP_WINEPREFIX=<dir> wine-run.sh program.exe [args...]
#
# Wine's helper processes inherit the standard handles of the program they
# start, so a pipe given to Wine is never closed: the program's output goes to a
# file that is copied to our own output afterwards.
set -u

: "${VP_WINEPREFIX:?VP_WINEPREFIX must name the Wine prefix folder}"
export WINEPREFIX="$VP_WINEPREFIX"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
run_timeout="${VP_RUN_TIMEOUT:-300}"

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

# --- X display: one Xvfb per prefix, remembered next to the prefix ----------
display_alive() {
    local n=$1
    [ -f "/tmp/.X$n-lock" ] || return 1
    local pid
    pid=$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$n" ]
}
disp=""
[ -f "$WINEPREFIX.display" ] && disp=$(cat "$WINEPREFIX.display")
if [ -z "$disp" ] || ! display_alive "$disp"; then
    disp=""
    for n in $(seq 100 199); do
        [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        for _ in $(seq 1 100); do
            display_alive "$n" && break
            sleep 0.05
        done
        if display_alive "$n"; then disp=$n; break; fi
    done
    [ -n "$disp" ] || { echo "wine-run: cannot start Xvfb" >&2; exit 125; }
    echo "$disp" >"$WINEPREFIX.display"
fi
export DISPLAY=":$disp"

# --- prefix: created once, crash debugger off ---------------------------------
if [ ! -f "$WINEPREFIX/.vp-ready" ]; then
    setup_log="$WINEPREFIX.setup.log"
    {
        timeout -k 5 180 "$WINE" wineboot -i
        # Without a debugger to start, a crashing program simply ends.
        for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                   'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
            timeout -k 5 60 "$WINE" reg add "$key" /v Debugger /t REG_SZ /d "" /f
            timeout -k 5 60 "$WINE" reg add "$key" /v Auto /t REG_SZ /d 1 /f
        done
        timeout -k 5 60 "$WINESERVER" -w
    } </dev/null >"$setup_log" 2>&1
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "wine-run: cannot create the Wine prefix (see $setup_log)" >&2
        exit 125
    fi
    touch "$WINEPREFIX/.vp-ready"
fi

# --- persistent wineserver: later programs start in a fraction of a second ----
if ! "$WINESERVER" -k0 2>/dev/null; then :; fi
setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true

flock -u 9
exec 9>&-

[ $# -ge 1 ] || exit 0
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
timeout -k 5 "$run_timeout" "$WINE" "$@" </dev/null >"$out" 2>&1
rc=$?
# A failure without a single byte of output means the program never got as
# far as its own first line (Wine failed to start it, as happens rarely on a
# loaded machine): start it once more. A program that ran and failed has
# written something and is never repeated.
if [ $rc -ne 0 ] && [ $rc -ne 124 ] && [ ! -s "$out" ]; then
    echo "wine-run: '$1' ended with $rc before writing anything; starting it once more" >&2
    timeout -k 5 "$run_timeout" "$WINE" "$@" </dev/null >"$out" 2>&1
    rc=$?
fi
cat "$out"
rm -f "$out"
[ $rc -eq 124 ] && echo "wine-run: '$1' timed out after ${run_timeout}s" >&2
exit $rc
