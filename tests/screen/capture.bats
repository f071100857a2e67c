#!/usr/bin/env bats
# A player's capture from the menu: the prompts, the names, the file, held keys, and the ways a
# capture can be ended.

load lib

setup_file() { start_display; }
teardown_file() { stop_display; }
teardown() { end_program; }

@test "player 1 binds arrows and letters, sees each name, and the file has them beside its other lines" {
  GAME=$BATS_TEST_TMPDIR/game
  mkdir -p "$GAME"
  printf '# teclas\n[video]\nmodo = ventana\n\n[jugador1]\narriba = 84\n' >"$GAME/brumo.ini"
  start_program
  focus_program
  press 1
  capture_lines | expect_screen
  press Up Down Left
  capture_lines ARRIBA ABAJO IZQUIERDA | expect_screen
  press Right z x c
  capture_lines ARRIBA ABAJO IZQUIERDA DERECHA Z X C | expect_screen capture.png
  [[ $(section_keys 1 | tr '\n' ' ') == "arriba 84 abajo 85 izquierda 82 derecha 83 trompada 26 bloqueo 24 patada 3 " ]]
  [[ $(section_keys 2) == "arriba 84" ]]
  grep -qx '# teclas' "$GAME/brumo.ini"
  grep -qx 'modo = ventana' "$GAME/brumo.ini"
  press space
  menu_lines | expect_screen
  press Escape
  expect_exit 0
}

@test "player 2 captured twice keeps the second keys and never touches player 1's" {
  GAME=$BATS_TEST_TMPDIR/game
  mkdir -p "$GAME"
  printf '[jugador0]\narriba = 1\n\n' >"$GAME/brumo.ini"
  start_program
  focus_program
  press 2 a b c d e f g space
  menu_lines | expect_screen
  press 2 h i j k l m n
  capture_lines H I J K L M N | expect_screen
  [[ $(section_keys 2 | tr '\n' ' ') == "arriba 8 abajo 9 izquierda 10 derecha 11 trompada 12 bloqueo 13 patada 14 " ]]
  [[ $(section_keys 1) == "arriba 1" ]]
}

@test "a hotkey held over a second starts one capture; a held key binds once; ESC and modifiers bind" {
  start_program
  focus_program
  xdotool keydown 1 sleep 1.2 keyup 1
  capture_lines | expect_screen
  xdotool keydown a sleep 1.2 keyup a
  press Escape Shift_L Control_R
  capture_lines A ESC LSHIFT RCONTROL | expect_screen
}

@test "SIGTERM, SIGINT and SIGHUP in the middle of a capture end with status 0 keeping the keys taken" {
  for signal in TERM INT HUP; do
    GAME=$BATS_TEST_TMPDIR/$signal
    start_program
    focus_program
    press 1 q w
    capture_lines Q W | expect_screen
    kill -s "$signal" "$PROGRAM"
    expect_exit 0
    [[ $(section_keys 1 | tr '\n' ' ') == "arriba 17 abajo 23 " ]]
    rm "$BATS_TEST_TMPDIR/status"
  done
}

@test "a finished capture is on disk before the list is closed: killing the program loses nothing" {
  start_program
  focus_program
  press 1 a b c d e f g
  capture_lines A B C D E F G | expect_screen
  kill -9 "$PROGRAM"
  [[ $(section_keys 1 | wc -l) == 7 ]]
}
