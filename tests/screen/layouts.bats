#!/usr/bin/env bats
# Every key press binds one action, in the order pressed, on a Spanish layout: dead keys, keys
# typed quickly, modifiers a few milliseconds before a letter, keys the file cannot number.

load lib

setup_file() {
  start_display
  setxkbmap -layout es
}
teardown_file() { stop_display; }
teardown() {
  end_program
  [[ -z ${PROBE:-} ]] || kill "$PROBE" 2>/dev/null || true
}

has_lines() { [[ $(wc -l <"$1") -ge $2 ]]; }

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
  [[ ${#seen[@]} == 7 ]]

  start_program
  focus_program
  press 1 "${keys[@]}"
  capture_lines "${seen[@]#* }" | expect_screen
  [[ $(section_keys 1 | cut -d' ' -f2 | tr '\n' ' ') == "$(printf '%s ' "${seen[@]%% *}")" ]]
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
  [[ $(section_keys 1 | cut -d' ' -f2 | tr '\n' ' ') == "17 23 5 103 24 3 22 " ]]
}
