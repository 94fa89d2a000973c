# Shared by the scripts: paths, the private Wine prefix, and a virtual display when none is set.
# shellcheck shell=bash
SARN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export SARN_ROOT
export SARN_WINEPREFIX="${SARN_WINEPREFIX:-$SARN_ROOT/build/wineprefix}"

sarn_log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# Wine never touches ~/.wine: every run uses the prefix under build/, quiet, without add-on installers.
sarn_wine_env() {
  # SARN_WINEDEBUG lets a test read a program's debug output (e.g. +debugstr).
  # SARN_WINEDLLOVERRIDES adds overrides (e.g. "wtsapi32=n,b": a test that plants a library wants Wine to take
  # a same-named file it finds before its own).
  export WINEPREFIX="$SARN_WINEPREFIX" WINEARCH=win64 WINEDEBUG="${SARN_WINEDEBUG:--all}" \
         WINEDLLOVERRIDES="mscoree,mshtml=${SARN_WINEDLLOVERRIDES:+;$SARN_WINEDLLOVERRIDES}"
}

sarn_stop_wine() {
  if [ -d "$SARN_WINEPREFIX" ]; then
    WINEPREFIX="$SARN_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  fi
}

# Starts Xvfb on a free display when DISPLAY is unset; sets SARN_XVFB_PID for sarn_stop_display.
SARN_XVFB_PID=""
sarn_ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    SARN_XVFB_PID=$!
    local deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
      if [ -e "/tmp/.X11-unix/X${n}" ]; then export DISPLAY=":$n"; return 0; fi
      kill -0 "$SARN_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$SARN_XVFB_PID" 2>/dev/null || true
    SARN_XVFB_PID=""
  done
  sarn_log "could not start Xvfb"
  return 1
}

sarn_stop_display() {
  if [ -n "$SARN_XVFB_PID" ]; then
    kill "$SARN_XVFB_PID" 2>/dev/null || true
    wait "$SARN_XVFB_PID" 2>/dev/null || true
    SARN_XVFB_PID=""
  fi
}
