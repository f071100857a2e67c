#!/usr/bin/env bats
# On a desktop, under a window manager: an ordinary window that can be closed and leaves the
# keyboard to others.

load lib

setup_file() { start_display --wm; }
teardown_file() { stop_display; }
teardown() { end_program; }

@test "under a window manager it is a managed, titled window that grabs nothing and closes like ESC, even mid-capture" {
  start_program
  focus_program
  menu_lines | expect_screen
  wmctrl -l | grep -q ' Brumo vs Tuk$'
  "$SCREEN_HELPER" grab
  press 1 a b c
  capture_lines A B C | expect_screen
  wmctrl -c 'Brumo vs Tuk'
  expect_exit 0
  [[ $(section_keys 1) == "1 2 3" ]]

  start_program
  focus_program
  wmctrl -c 'Brumo vs Tuk'
  expect_exit 0
}
