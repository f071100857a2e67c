#!/usr/bin/env bats
# The menu and the capture as on a desktop, under openbox with a Spanish keyboard layout: the
# screens, the file, held keys, dead keys, keys typed quickly, the ways a run or capture ends.

load lib

setup_file() { start_display --wm && setxkbmap -layout es; }
teardown_file() { stop_display; }
teardown() { end_program && [[ -z ${PROBE:-} ]] || kill "$PROBE"; }

@test "the menu is a managed window titled Brumo vs Tuk that grabs nothing; ESC leaves with status 0, writing nothing" {
  start_and_press
  wmctrl -l | grep -q ' Brumo vs Tuk$'
  menu_lines | expect_screen menu.png
  "$SCREEN_HELPER" grab
  press Escape
  expect_exit 0
  [[ ! -e $GAME/brumo.ini && ! -s $BATS_TEST_TMPDIR/err ]]
  # Nor rewrites a file the library would: CRLF, no final newline, its own spacing.
  write_file '[jugador0]\r\narriba=84\r\n\r\n[video]\r\nmodo   =  ventana'
  start_and_press Escape
  expect_exit 0
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
  mkdir "$BATS_TEST_TMPDIR/bare" && cd "$BATS_TEST_TMPDIR/bare"
  run -1 env -u DISPLAY "$BRUMO_SETUP"
  [[ $output == "brumo-setup: no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un escritorio" ]]
  [[ -z $(ls -A) ]]
}

@test "player 1 binds arrows and letters, sees each name, and the file, still the same file, has them beside its other lines" {
  write_file '# teclas\n[video]\nmodo = ventana\n\n[jugador1]\narriba = 84\n'
  ln "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/hard-link"
  start_and_press 1
  capture_lines | expect_screen
  press Up Down Left
  capture_lines ARRIBA ABAJO IZQUIERDA | expect_screen
  press Right z x c
  capture_lines ARRIBA ABAJO IZQUIERDA DERECHA Z X C | expect_screen capture.png
  [[ $(sed -n '/^\[jugador0\]/,+7p' "$GAME/brumo.ini" | xargs) == "[jugador0] arriba = 84 abajo = 85 izquierda = 82 derecha = 83 trompada = 26 bloqueo = 24 patada = 3" ]]
  [[ $(section_keys 2) == 84 ]] && grep -qx '# teclas' "$GAME/brumo.ini" && grep -qx 'modo = ventana' "$GAME/brumo.ini"
  [[ $GAME/brumo.ini -ef $BATS_TEST_TMPDIR/hard-link ]]
  press space
  menu_lines | expect_screen
}

@test "a hotkey held through its capture starts it once; a held key binds once; ESC and modifiers bind" {
  start_and_press
  xdotool keydown 1 sleep 1.2
  capture_lines | expect_screen
  xdotool keydown a sleep 1.2 keyup a
  press Escape Shift_L Control_R
  capture_lines A ESC LSHIFT RCONTROL | expect_screen
  press b c d space
  menu_lines | expect_screen
  xdotool keyup 1
}

@test "SIGTERM, SIGINT, SIGHUP and the window manager's close, in the menu or mid-capture, end with status 0 keeping the keys" {
  for how in TERM INT HUP close; do
    GAME=$BATS_TEST_TMPDIR/$how
    start_and_press 1 q w
    capture_lines Q W | expect_screen
    if [[ $how == close ]]; then wmctrl -c 'Brumo vs Tuk'; else kill -s "$how" "$PROGRAM"; fi
    expect_exit 0
    [[ $(section_keys 1) == "17 23" ]]
  done
  start_and_press
  wmctrl -c 'Brumo vs Tuk'
  expect_exit 0
}

@test "dead keys, alone or before a letter, bind as themselves with the numbers a game sees" {
  local keys=(dead_acute a dead_grave ntilde ccedilla masculine apostrophe) seen
  # A program on the same library and display reports what its key[] sees.
  "$SCREEN_HELPER" keys >"$BATS_TEST_TMPDIR/seen" 2>/dev/null &
  PROBE=$! && disown
  wait_for 10 xdotool search --name '^key probe$'
  xdotool search --name '^key probe$' windowactivate --sync %1
  press "${keys[@]}"
  wait_for 5 eval '[[ $(wc -l <"$BATS_TEST_TMPDIR/seen") == 7 ]]'
  mapfile -t seen <"$BATS_TEST_TMPDIR/seen"
  start_and_press 1 "${keys[@]}"
  capture_lines "${seen[@]#* }" | expect_screen
  [[ $(section_keys 1) == "$(printf '%s\n' "${seen[@]%% *}" | xargs)" ]]
  ! grep -q '= 0$' "$GAME/brumo.ini"
}

@test "keys typed quickly, Shift just before a letter, and the keypad's = in the middle bind in order" {
  start_and_press
  # No wait for the prompts: the presses queue up behind them.
  xdotool keydown 1 sleep 0.08 keyup 1 key --delay 30 q w e
  xdotool keydown Shift_L sleep 0.005 keydown x keyup x keyup Shift_L
  xdotool key KP_Equal
  capture_lines Q W E LSHIFT X | expect_screen
  xdotool key --delay 30 c v
  capture_lines Q W E LSHIFT X C V | expect_screen
  [[ $(section_keys 1) == "17 23 5 103 24 3 22" ]]
}
