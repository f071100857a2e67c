#!/usr/bin/env bats
# The menu and the capture as on a desktop, under openbox with a Spanish keyboard layout: the
# screens, the file, held keys, dead keys, keys typed quickly, the ways a run or capture ends.

load lib

setup_file() { start_display --wm "${SCREEN_SIZE:-}"; setxkbmap -layout es; xset r rate 30 33; } # keys repeat soon and often
teardown_file() { stop_display; }
teardown() { end_program; }

@test "the menu is a managed window titled Brumo vs Tuk that grabs nothing; ESC leaves with status 0, writing nothing [P10 P12 P17 P18 P48 P51 P55 P56 P110 P160 P161 P175 P176 P177 P178]" {
  SHOT=menu.png start_and_press; expect_kept_when_covered; wait_for 5 eval "wmctrl -l | grep -q ' Brumo vs Tuk$'"
  "$SCREEN_HELPER" grab; leave_with_esc; [[ ! -e $GAME/brumo.ini && ! -s $T/err ]]
  # Nor rewrites a file the library would: CRLF, no final newline, its own spacing.
  write_file '[jugador0]\r\narriba=84\r\n\r\n[video]\r\nmodo   =  ventana'
  RUN_WITH=(sh -c 'exec "$0" --help x'); start_and_press; RUN_WITH=()  # arguments are ignored
  run -1 expect_screen "0 0 x"  # a screen test that fails keeps both pictures
  [[ $output =~ see\ (.*/expected.png)\ and\ (.*/actual.png) && -s ${BASH_REMATCH[1]} && -s ${BASH_REMATCH[2]} ]]
  leave_with_esc; cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"; [[ ! -s $T/err ]]
  mkdir "$BATS_TEST_TMPDIR/bare"; cd "$BATS_TEST_TMPDIR/bare"; run -1 env -u DISPLAY "$BRUMO_SETUP"
  [[ $output == "brumo-setup: no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un escritorio" && -z $(ls -A) ]]
  run -1 env DISPLAY=:9999 "$BRUMO_SETUP"; [[ $output == "brumo-setup: no se pudo iniciar la biblioteca Allegro en la pantalla DISPLAY=:9999"* ]]
}
@test "player 1 binds arrows, then keys typed faster than the prompts, sees each name, and the file, still the same file, holds them beside its other lines; ESC closing the list leaves; a hotkey held through its capture starts it once; a held key binds once; ESC, each modifier, both Shifts at once and dead keys bind; the keypad's digits start nothing [P1 P9 P13 P14 P15 P16 P17 P19 P20 P21 P22 P23 P25 P26 P27 P28 P29 P30 P31 P32 P33 P34 P35 P36 P37 P39 P75 P76 P150 P151 P152 P153 P154 P155 P157 P159 P161 P162 P165 P166 P168 P173 P177]" {
  write_file '# teclas\n[video]\nmodo = ventana\n\n[jugador1]\narriba = 84\n'; chmod 640 "$GAME/brumo.ini"; ln "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/hard-link"
  start_and_press; start_capture 1; press Up Down Left Right Next Home Prior
  SHOT=capture.png expect_capture ARRIBA ABAJO IZQUIERDA DERECHA PGDN HOME PGUP
  [[ $(section_keys 1) == "84 85 82 83 81 78 80" ]]  # saved before the last name is drawn
  # Typed ahead of the prompts, Shift just before a letter, the keypad's = (no key in the
  # file); smaller numbers make a shorter file: nothing of the longer one may stay behind.
  press space; expect_menu; start_capture 1; press +q -q @30 +w -w @30 +e -e +Shift_L @5 +x -x -Shift_L KP_Equal
  expect_capture Q W E LSHIFT X
  press +c -c @30 +F5 -F5; expect_capture Q W E LSHIFT X C F5; expect_keys 1 "17 23 5 103 24 3 51"
  expect_file "# teclas" "[video]" "modo = ventana" "" "[jugador1]" "arriba = 84" "" \
    "$(section_text jugador0 17 23 5 103 24 3 51)"
  [[ $GAME/brumo.ini -ef $BATS_TEST_TMPDIR/hard-link && $(stat -c %a "$GAME/brumo.ini") == 640 && $(ls -A "$GAME") == brumo.ini ]]; leave_with_esc  # ESC closing the list leaves too
  GAME=$BATS_TEST_TMPDIR/keys; start_and_press KP_1 +1 @1200; expect_capture
  press +a @2000 -a Escape Shift_L Control_R +Shift_L @1 +Shift_R -Shift_R -Shift_L
  expect_capture A ESC LSHIFT RCONTROL LSHIFT RSHIFT; press Alt_L space; expect_menu; press -1 KP_2
  # Dead keys, alone or before a letter: the numbers a game's key[] sees on this layout.
  start_capture 2; press dead_acute a dead_grave ntilde ccedilla masculine apostrophe
  expect_capture COLON A IGUAL CLOSEBRACE SLASH BACKSLASH QUOTE
  expect_keys 1 "1 59 103 106 103 104 107"; expect_keys 2 "68 1 62 66 74 70 69"
}
@test "SIGTERM, SIGINT, SIGHUP, a stream of SIGTERMs and the window manager's close, in the menu or mid-capture, end with status 0 keeping the keys [P32 P40 P41 P42 P43 P44 P161]" {
  for how in TERM INT HUP stream close altf4; do
    GAME=$BATS_TEST_TMPDIR/$how; start_and_press; start_capture 1; press q w; expect_capture Q W
    case $how in
      close) wmctrl -c 'Brumo vs Tuk' ;;
      altf4) press +Alt_L F4 -Alt_L ;;  # Alt binds, then the window manager closes the window
      stream) while kill -s TERM "$PROGRAM" 2>/dev/null; do :; done ;;  # some while it winds down
      *) kill -s "$how" "$PROGRAM" ;;
    esac
    expect_exit 0; [[ $(section_keys 1) == "17 23$([[ $how != altf4 ]] || echo ' 107')" ]]
  done
  start_and_press; wmctrl -c 'Brumo vs Tuk'; expect_exit 0  # in the menu
  GAME=$BATS_TEST_TMPDIR/none; start_and_press; start_capture 1; kill "$PROGRAM"; expect_exit 0; [[ ! -e $GAME/brumo.ini ]]
}
