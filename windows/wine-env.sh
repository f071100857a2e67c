#!/usr/bin/env bash
# Wine environment for trying the Windows build of brumo-setup on a Linux X display.
# Meant to be sourced by a bash script (one that runs with set -euo pipefail); every function
# returns non-zero with a message on stderr when a step fails.
#
#   source windows/wine-env.sh
#   brumo_wine_env :57 /var/tmp/wine     # private prefix for display :57 in /var/tmp/wine,
#                                        # booted once (a third argument x86_64 makes a 64-bit one)
#   wine ./brumo-setup.exe
#   brumo_wine_stop
#
# Run directly (windows/wine-env.sh DISPLAY FOLDER [ARCH]) it only makes and boots the prefix; the
# X server of DISPLAY should be up.
#
# One prefix per X display, because a prefix has one wineserver and that serves one display.
# For the players' i686 .exe the prefix is 32-bit (WINEARCH=win32), run by Wine's 32-bit loader,
# which needs a kernel that runs 32-bit programs. For the x86_64 test build it is 64-bit, run by
# the 64-bit loader (a `wine` of our own on PATH picks it: Debian's picks the 32-bit one whenever
# it is installed). It gets no Mono/Gecko installers (WINEDLLOVERRIDES), no menu entries written
# to $HOME, and Direct3D's renderer set to gdi (there is no libGL here). Booting a fresh prefix
# (wineboot -i) took 11 s and made 590 MB here; it is done once and remembered in the prefix
# (.brumo-wine-ready), so later calls take well under a second.
# Needs the packages of `scripts/install-deps wine`.

brumo_wine_overrides="mscoree,mshtml=;winemenubuilder.exe=d"

brumo_wine_fail() {
  printf '[wine-env] FAIL: %s\n' "$*" >&2
  return 1
}

# brumo_wine_env DISPLAY FOLDER [i686|x86_64]: exports DISPLAY, WINEPREFIX (FOLDER/prefix-ARCH-N
# for display :N), WINEARCH, WINEDLLOVERRIDES and WINEDEBUG (and for x86_64 PATH and WINELOADER),
# and boots the prefix if it was never booted.
brumo_wine_env() {
  [ $# -eq 2 ] || [ $# -eq 3 ] || { brumo_wine_fail "usage: brumo_wine_env DISPLAY FOLDER [i686|x86_64]"; return 1; }
  local display=$1 folder=$2 arch=${3:-i686} number started tool
  number=${display#*:}
  number=${number%%.*}
  case $number in
    '' | *[!0-9]*) brumo_wine_fail "display '$display' is not of the form :N"; return 1 ;;
  esac
  case $arch in
    i686 | x86_64) ;;
    *) brumo_wine_fail "unknown processor '$arch' (i686 or x86_64)"; return 1 ;;
  esac
  for tool in wine wineserver; do
    command -v "$tool" >/dev/null ||
      { brumo_wine_fail "$tool is missing: install Wine (scripts/install-deps wine)"; return 1; }
  done
  mkdir -p "$folder" || { brumo_wine_fail "cannot make $folder"; return 1; }
  folder=$(cd "$folder" && pwd) || return 1

  export DISPLAY=":$number"
  export WINEPREFIX="$folder/prefix-$arch-$number"
  if [ "$arch" = x86_64 ]; then
    [ -x /usr/lib/wine/wine64 ] || { brumo_wine_fail "64-bit Wine is missing: install wine64"; return 1; }
    if ! mkdir -p "$folder/bin" ||
      ! printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$folder/bin/wine" ||
      ! chmod +x "$folder/bin/wine"; then
      brumo_wine_fail "cannot write $folder/bin/wine"
      return 1
    fi
    export PATH="$folder/bin:$PATH" WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
  else
    export WINEARCH=win32
  fi
  export WINEDLLOVERRIDES="$brumo_wine_overrides"
  export WINEDEBUG="${WINEDEBUG:--all}"

  if [ -f "$WINEPREFIX/.brumo-wine-ready" ]; then
    return 0
  fi
  # A half-made prefix (an earlier boot that was stopped) is started again from nothing.
  rm -rf "$WINEPREFIX" || { brumo_wine_fail "cannot remove the half-made $WINEPREFIX"; return 1; }
  started=$(date +%s)
  local boot_log=$folder/wineboot-$arch-$number.log
  if ! wine wineboot -i >"$boot_log" 2>&1; then
    # Wine's 32-bit loader is a 32-bit program: a kernel without IA-32 emulation cannot run it.
    if grep -q 'Exec format error' "$boot_log"; then
      brumo_wine_fail "this system cannot run 32-bit programs (the kernel's IA-32 emulation is off), which 32-bit Wine needs; test the x86_64 build instead (make test-windows picks it)"
      return 1
    fi
    brumo_wine_fail "wineboot failed for $WINEPREFIX (log: $boot_log)"
    return 1
  fi
  wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d gdi /f \
    >>"$boot_log" 2>&1 ||
    { brumo_wine_fail "cannot set the gdi renderer in $WINEPREFIX"; return 1; }
  wineserver -w || { brumo_wine_fail "wineserver did not finish for $WINEPREFIX"; return 1; }
  grep -q '"renderer"="gdi"' "$WINEPREFIX/user.reg" ||
    { brumo_wine_fail "the gdi renderer is not in $WINEPREFIX/user.reg"; return 1; }
  touch "$WINEPREFIX/.brumo-wine-ready" || return 1
  printf '[wine-env] booted %s in %ss (%s)\n' "$WINEPREFIX" $(($(date +%s) - started)) \
    "$(du -sh "$WINEPREFIX" 2>/dev/null | cut -f1)" >&2
}

# brumo_wine_stop: ends the wineserver (and every Windows process) of the current WINEPREFIX.
brumo_wine_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Run directly: make and boot the prefix for DISPLAY in FOLDER.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  [ $# -eq 2 ] || [ $# -eq 3 ] || brumo_wine_fail "usage: $0 DISPLAY FOLDER [i686|x86_64]"
  brumo_wine_env "$@"
  brumo_wine_stop
  printf '[wine-env] WINEPREFIX=%s is ready\n' "$WINEPREFIX"
fi
