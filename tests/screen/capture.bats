#!/usr/bin/env bats
# The menu and the capture, on a Spanish keyboard layout: the screens, the file, held keys,
# dead keys, keys typed quickly, and the ways a run or a capture ends.

load lib

setup_file() {
  start_display
  setxkbmap -layout es
}
teardown_file() { stop_display; }
teardown() {
  end_program
  [[ -z ${PROBE:-} ]] || kill "$PROBE"
}

has_lines() { [[ $(wc -l <"$1") -ge $2 ]]; }

@test "the menu shows in a window titled Brumo vs Tuk; ESC leaves with status 0, writing nothing" {
  start_program
  focus_program
  [[ $(xdotool getwindowname "$WINDOW") == "Brumo vs Tuk" ]]
  menu_lines | expect_screen menu.png
  press Escape
  expect_exit 0
  [[ ! -e $GAME/brumo.ini && ! -s $BATS_TEST_TMPDIR/err ]]
  # Nor rewrites a file the library would: CRLF, no final newline, its own spacing.
  write_file '[jugador0]\r\narriba=84\r\n\r\n[video]\r\nmodo   =  ventana'
  start_program
  focus_program
  press Escape
  expect_exit 0
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
}

@test "without a display it says so on stderr, exits with status 1 and writes nothing" {
  cd "$BATS_TEST_TMPDIR"
  run -1 env -u DISPLAY "$BRUMO_SETUP"
  [[ $output == "brumo-setup: no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un escritorio" ]]
  [[ -z $(ls -A) ]]
}

@test "player 1 binds arrows and letters, sees each name, and the file has them beside its other lines" {
  write_file '# teclas\n[video]\nmodo = ventana\n\n[jugador1]\narriba = 84\n'
  start_program
  focus_program
  press 1
  capture_lines | expect_screen
  press Up Down Left
  capture_lines ARRIBA ABAJO IZQUIERDA | expect_screen
  press Right z x c
  capture_lines ARRIBA ABAJO IZQUIERDA DERECHA Z X C | expect_screen capture.png
  [[ $(sed -n '/^\[jugador0\]/,+7p' "$GAME/brumo.ini" | tr '\n' ' ') == "[jugador0] arriba = 84 abajo = 85 izquierda = 82 derecha = 83 trompada = 26 bloqueo = 24 patada = 3 " ]]
  [[ $(section_keys 2) == 84 ]]
  grep -qx '# teclas' "$GAME/brumo.ini" && grep -qx 'modo = ventana' "$GAME/brumo.ini"
  press space
  menu_lines | expect_screen
  press Escape
  expect_exit 0
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
    [[ $(section_keys 1) == "17 23" ]]
  done
}

@test "dead keys, alone or before a letter, bind as themselves with the numbers a game sees" {
  local keys=(dead_acute a dead_grave ntilde ccedilla masculine apostrophe)
  # A program on the same library and display reports what its key[] sees.
  "$SCREEN_HELPER" keys >"$BATS_TEST_TMPDIR/seen" 2>/dev/null &
  PROBE=$!
  wait_for 10 xdotool search --name '^key probe$'
  xdotool windowfocus --sync "$(xdotool search --name '^key probe$')"
  press "${keys[@]}"
  wait_for 5 has_lines "$BATS_TEST_TMPDIR/seen" 7
  local seen
  mapfile -t seen <"$BATS_TEST_TMPDIR/seen"

  start_program
  focus_program
  press 1 "${keys[@]}"
  capture_lines "${seen[@]#* }" | expect_screen
  [[ $(section_keys 1) == "$(printf '%s\n' "${seen[@]%% *}" | xargs)" ]]
  ! grep -q '= 0$' "$GAME/brumo.ini"
}

@test "keys typed quickly, Shift just before a letter, and the keypad's = in the middle bind in order" {
  start_program
  focus_program
  # No wait for the prompts: the presses queue up behind them.
  xdotool keydown 1 sleep 0.08 keyup 1 key --delay 30 q w e
  xdotool keydown Shift_L sleep 0.005 keydown x keyup x keyup Shift_L
  xdotool key KP_Equal
  capture_lines Q W E LSHIFT X | expect_screen
  xdotool key --delay 30 c v
  capture_lines Q W E LSHIFT X C V | expect_screen
  [[ $(section_keys 1) == "17 23 5 103 24 3 22" ]]
}
