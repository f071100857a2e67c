#!/usr/bin/env bats
# The Windows .exe (BRUMO_SETUP, built for BRUMO_WINE_ARCH: i686 or x86_64) under Wine and openbox,
# a Wine prefix per display in WINE_PREFIXES: the on-screen cases that mean something on Windows.

load lib

setup_file() {
  start_display --wm; setxkbmap -layout es
  # shellcheck source=../../windows/wine-env.sh
  source "$BRUMO_SOURCE/windows/wine-env.sh"
  brumo_wine_env "$DISPLAY" "$WINE_PREFIXES" "${BRUMO_WINE_ARCH:-i686}" || fail_with "no Wine prefix"
}
teardown_file() { wineserver -k 2>/dev/null || true; stop_display; }
setup() { RUN_WITH=(wine) BOX_WINDOW='^brumo-setup$'; }
teardown() { end_program; }

@test "under Wine: the unit tests pass, the same files as on Linux" {
  BRUMO_ALLEGRO_SOURCE=Z:$BRUMO_ALLEGRO_SOURCE wine "$BRUMO_UNIT_TESTS" --gtest_brief=1 >"$BRUMO_UNIT_LOG" 2>&1 ||
    fail_with "$(cat "$BRUMO_UNIT_LOG")"
  grep -q 'PASSED' "$BRUMO_UNIT_LOG"
}

@test "under Wine: the menu, a capture of arrows, a letter and modifiers with their names and numbers; on a Spanish layout AltGr binds ALTGR alone; the close button mid-capture ends with status 0 keeping the keys taken" {
  start_and_press
  start_capture 1
  press Up Down Left Right a Shift_L Control_R
  expect_capture ARRIBA ABAJO IZQUIERDA DERECHA A LSHIFT RCONTROL
  expect_keys 1 "84 85 82 83 1 103 106"
  press space
  expect_menu
  start_capture 2
  press Control_L '#108' Alt_L
  expect_capture LCONTROL ALTGR ALT
  wmctrl -c 'Brumo vs Tuk'
  expect_exit 0
  expect_keys 2 "105 108 107"
}

@test "under Wine: a refused file is left as it was, and a second copy is refused" {
  write_file '\xef\xbb\xbf[jugador0]\r\narriba = 84\r\n'
  refused_at_start '"brumo.ini", linea 1: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM; no se ha modificado'
  write_file '[jugador0]\r\narriba = 84\r\n'
  start_and_press
  second_copy_refused
  leave_with_esc
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
}
