#!/usr/bin/env bats
# The menu, leaving it, and a run that changes nothing.

load lib

setup_file() { start_display; }
teardown_file() { stop_display; }
teardown() { end_program; }

@test "the menu shows in a window titled Brumo vs Tuk, and ESC leaves with status 0 writing nothing" {
  start_program
  focus_program
  [[ $(xdotool getwindowname "$WINDOW") == "Brumo vs Tuk" ]]
  menu_lines | expect_screen menu.png
  press Escape
  expect_exit 0
  [[ ! -e $GAME/brumo.ini ]]
  [[ ! -s $BATS_TEST_TMPDIR/err ]]
}

@test "a run that sets nothing leaves the file byte for byte, even where the library would rewrite it" {
  GAME=$BATS_TEST_TMPDIR/game
  mkdir -p "$GAME"
  # CRLF, no final newline, spacing the library would not write.
  printf '[jugador0]\r\narriba=84\r\n\r\n[video]\r\nmodo   =  ventana' >"$GAME/brumo.ini"
  cp "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"
  start_program
  focus_program
  press Escape
  expect_exit 0
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
}

@test "without a display it says so on stderr, exits with status 1 and writes nothing" {
  GAME=$BATS_TEST_TMPDIR/game
  mkdir -p "$GAME"
  cd "$GAME"
  run -1 env -u DISPLAY "$BRUMO_SETUP"
  [[ $output == "brumo-setup: no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un escritorio"* ]]
  [[ $(printf '%s\n' "$output" | wc -l) == 1 ]]
  [[ -z $(ls -A "$GAME") ]]
}
