# Shared by scripts/test and scripts/demo: a booted Wine prefix to copy from,
# and one Xvfb display for the whole run.

# velorin_wine_template DIR: boots a prefix into DIR once; later calls reuse it.
velorin_wine_template() {
  local dir
  dir=$(realpath -m "$1")
  if [ -f "$dir/.booted" ] && [ -f "$dir/system.reg" ]; then return 0; fi
  rm -rf "$dir"; mkdir -p "$dir"
  echo "booting Wine prefix $dir"
  WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  # The window's fonts are Arial; Debian has no Arial, but Liberation Sans has
  # its metrics. Naming it as Arial's replacement makes every Arial request
  # (whatever family bits it carries) render as it would on Windows.
  WINEPREFIX="$dir" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
  # Wine draws the caption buttons with its Marlett font; this Wine build does
  # not find its own font folder, so the prefix gets a copy.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  WINEPREFIX="$dir" wineserver -w
  if [ ! -f "$dir/system.reg" ]; then
    echo "booting Wine prefix $dir failed" >&2
    return 1
  fi
  touch "$dir/.booted"
}

# velorin_start_xvfb: exports DISPLAY of a private Xvfb unless one is given.
velorin_start_xvfb() {
  VELORIN_XVFB_PID=
  if [ -n "${DISPLAY:-}" ] && [ -z "${VELORIN_FORCE_XVFB:-}" ]; then return 0; fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    VELORIN_XVFB_PID=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
    return 0
  done
  echo "no free X display" >&2; return 1
}

velorin_stop_xvfb() {
  [ -n "${VELORIN_XVFB_PID:-}" ] && kill "$VELORIN_XVFB_PID" 2>/dev/null
  VELORIN_XVFB_PID=
}
