# Shared by scripts/test and scripts/demo: which Windows build this machine
# runs, a booted Wine prefix to copy from, and one Xvfb display for the whole
# run. Every Wine call of the scripts and the harness goes through
# VELORIN_WINE (the loader) and VELORIN_WINESERVER.

# velorin_pick_windows_arch: sets VELORIN_WINDOWS_ARCH to i686 where this
# machine runs 32-bit code (the build that ships runs its cases), else x86_64
# (the test build, under wine64), VELORIN_ARCH_REASON to why, and
# VELORIN_ARCH_NOTE to the sentence that says which ran. VELORIN_FORCE_X64=1
# takes the x86_64 path anywhere. Exports VELORIN_WINE and VELORIN_WINESERVER
# unless they are given.
velorin_pick_windows_arch() {
  if [ -n "${VELORIN_FORCE_X64:-}" ]; then
    VELORIN_WINDOWS_ARCH=x86_64
    VELORIN_ARCH_REASON="the x86_64 path was forced (VELORIN_FORCE_X64)"
    VELORIN_ARCH_NOTE="Windows cases ran on the x86_64 test build: $VELORIN_ARCH_REASON"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    VELORIN_WINDOWS_ARCH=i686
    VELORIN_ARCH_REASON="this machine runs 32-bit code"
    VELORIN_ARCH_NOTE="Windows cases ran on the i686 build that ships"
  else
    VELORIN_WINDOWS_ARCH=x86_64
    VELORIN_ARCH_REASON="this machine runs no 32-bit code"
    VELORIN_ARCH_NOTE="Windows cases ran on the x86_64 test build: $VELORIN_ARCH_REASON"
  fi
  # Debian's "wine" starts the 32-bit loader first, which cannot run where no
  # 32-bit code runs; wine64 is called by its own path there.
  if [ -z "${VELORIN_WINE:-}" ]; then
    VELORIN_WINE=$(velorin_wine_loader "$VELORIN_WINDOWS_ARCH")
  fi
  : "${VELORIN_WINESERVER:=wineserver}"
  export VELORIN_WINDOWS_ARCH VELORIN_WINE VELORIN_WINESERVER
  # A loader called by its path also starts the prefix's other programs.
  if [[ "$VELORIN_WINE" == /* ]]; then export WINELOADER=${WINELOADER:-$VELORIN_WINE}; fi
}

# velorin_wine_loader ARCH: the Wine loader for programs of that build.
velorin_wine_loader() {
  if [ "$1" = x86_64 ]; then echo /usr/lib/wine/wine64; else echo wine; fi
}

# velorin_wine_template DIR: boots a prefix into DIR once; later calls reuse it.
velorin_wine_template() {
  local dir
  dir=$(realpath -m "$1")
  if [ -f "$dir/.booted" ] && [ -f "$dir/system.reg" ]; then return 0; fi
  rm -rf "$dir"; mkdir -p "$dir"
  echo "booting Wine prefix $dir"
  WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "${VELORIN_WINE:-wine}" wineboot -i >/dev/null 2>&1
  # The window's fonts are Arial; Debian has no Arial, but Liberation Sans has
  # its metrics. Naming it as Arial's replacement makes every Arial request
  # (whatever family bits it carries) render as it would on Windows.
  WINEPREFIX="$dir" WINEDEBUG=-all "${VELORIN_WINE:-wine}" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1
  # Wine draws the caption buttons with its Marlett font; this Wine build does
  # not find its own font folder, so the prefix gets a copy.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  WINEPREFIX="$dir" "${VELORIN_WINESERVER:-wineserver}" -w
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
