# The on-screen tests' shared steps: a virtual display per test file, the real program in
# each test's own empty directory, keys pressed with xdotool, and the window read back with xwd.
# BRUMO_SETUP and SCREEN_HELPER name the programs under test.

bats_require_minimum_version 1.5.0

wait_for() { # seconds command...: polls the command until it succeeds
  local end=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS <= end)) || return 1
    sleep 0.05
  done
}

# For setup_file. -noreset keeps a keyboard layout set with setxkbmap between clients.
start_display() { # [--wm]: openbox manages the windows, as on a desktop
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset \
    3>"$BATS_FILE_TMPDIR/display" 2>/dev/null &
  echo $! >"$BATS_FILE_TMPDIR/xvfb.pid"
  wait_for 10 test -s "$BATS_FILE_TMPDIR/display"
  export DISPLAY=":$(cat "$BATS_FILE_TMPDIR/display")"
  if [[ ${1:-} == --wm ]]; then
    openbox >/dev/null 2>&1 &
    echo $! >"$BATS_FILE_TMPDIR/wm.pid"
    wait_for 10 wmctrl -m
  fi
}

stop_display() {
  kill $(cat "$BATS_FILE_TMPDIR"/*.pid) 2>/dev/null || true
}

# When the tests run as root, a game directory and a copy of the program that nobody can
# reach wherever the checkout lives, for tests that need file permissions to hold.
nobody_place() {
  PLACE=$(mktemp -d /tmp/brumo-nobody.XXXXXX)
  chmod 755 "$PLACE"
  install -m 755 "$BRUMO_SETUP" "$PLACE/brumo-setup"
  GAME=$PLACE/game
  mkdir "$GAME"
  chown nobody "$GAME"
}

# The program in the test's own directory GAME; its status lands in $BATS_TEST_TMPDIR/status.
# With --nobody it runs as nobody when the tests run as root. RUN_WITH, if set, is a command
# line the program is run through (a shell setting a limit).
start_program() { # [--nobody]
  local program=$BRUMO_SETUP run_as=("${RUN_WITH[@]}")
  if [[ ${1:-} == --nobody && $(id -u) == 0 ]]; then
    [[ -n ${PLACE:-} ]] || nobody_place
    program=$PLACE/brumo-setup
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${run_as[@]}")
  fi
  GAME=${GAME:-$BATS_TEST_TMPDIR/game}
  mkdir -p "$GAME"
  rm -f "$BATS_TEST_TMPDIR/pid" "$BATS_TEST_TMPDIR/status"
  (
    cd "$GAME" || exit
    "${run_as[@]}" "$program" >"$BATS_TEST_TMPDIR/out" 2>"$BATS_TEST_TMPDIR/err" &
    echo $! >"$BATS_TEST_TMPDIR/pid"
    if wait $!; then echo 0; else echo $?; fi >"$BATS_TEST_TMPDIR/status"
  ) &
  wait_for 5 test -s "$BATS_TEST_TMPDIR/pid"
  PROGRAM=$(cat "$BATS_TEST_TMPDIR/pid")
}

# For teardown: nothing a test started outlives it.
end_program() {
  if [[ -n ${PROGRAM:-} ]]; then
    pkill -P "$PROGRAM" -x xmessage
    kill -9 "$PROGRAM" && wait_for 5 test -s "$BATS_TEST_TMPDIR/status"
  fi 2>/dev/null
  [[ -z ${PLACE:-} ]] || rm -rf "$PLACE"
  true
}

# Waits for the program's window and gives it the keyboard, as a desktop would: through the
# window manager where one runs, directly on a bare display.
focus_program() {
  wait_for 10 xdotool search --name '^Brumo vs Tuk$' || {
    echo "no window; stderr: $(cat "$BATS_TEST_TMPDIR/err")"
    return 1
  }
  WINDOW=$(xdotool search --name '^Brumo vs Tuk$' | head -1)
  if wmctrl -m >/dev/null 2>&1; then
    xdotool windowactivate --sync "$WINDOW"
  else
    xdotool windowfocus --sync "$WINDOW"
  fi
}

# Held like a person's press: the menu reads the key state once a frame.
press() {
  local key
  for key; do xdotool keydown "$key" sleep 0.08 keyup "$key"; done
}

expect_exit() { # status
  wait_for 10 test -s "$BATS_TEST_TMPDIR/status" || {
    echo "still running"
    return 1
  }
  local status
  status=$(cat "$BATS_TEST_TMPDIR/status")
  [[ $status == "$1" ]] || {
    echo "exit status $status, wanted $1; stderr: $(cat "$BATS_TEST_TMPDIR/err")"
    return 1
  }
}

# stderr holds exactly the given line.
expect_error_line() {
  local said
  said=$(cat "$BATS_TEST_TMPDIR/err")
  [[ $said == "brumo-setup: $1" ]] || {
    echo "stderr: $said"
    return 1
  }
}

box_gone() { ! xdotool search --name '^xmessage$'; }

# The library's message box is up; its button lets the program end. A box that is not yet
# taking keys is pressed again.
close_message_box() {
  wait_for 10 xdotool search --name '^xmessage$' || {
    echo "no message box"
    return 1
  }
  local tries
  for tries in 1 2 3 4 5; do
    xdotool search --name '^xmessage$' windowfocus --sync %1 2>/dev/null || true
    # Typed, not sent to the window: a window gone between press and release would leave
    # Return held down, and the next box would close at once.
    xdotool key Return
    wait_for 1 box_gone && return 0
  done
  echo "the message box stays"
  return 1
}

# Polls until the window shows exactly the lines given on stdin as "x y text", blue on black;
# otherwise leaves both pictures as PNG beside the test's output.
expect_screen() { # [picture name, saved in BRUMO_SCREENSHOT_DIR when set]
  local expected=$BATS_TEST_TMPDIR/expected actual=$BATS_TEST_TMPDIR/actual
  "$SCREEN_HELPER" render >"$expected.rgb"
  local end=$((SECONDS + 5))
  while :; do
    xwd -id "$WINDOW" -silent 2>/dev/null | convert xwd:- -depth 8 "rgb:$actual.rgb" 2>/dev/null
    if cmp -s "$expected.rgb" "$actual.rgb"; then
      [[ -n ${BRUMO_SCREENSHOT_DIR:-} && -n ${1:-} ]] &&
        convert -size 320x240 -depth 8 "rgb:$actual.rgb" "$BRUMO_SCREENSHOT_DIR/$1"
      return 0
    fi
    ((SECONDS <= end)) || break
    sleep 0.05
  done
  convert -size 320x240 -depth 8 "rgb:$expected.rgb" "$expected.png"
  convert -size 320x240 -depth 8 "rgb:$actual.rgb" "$actual.png" 2>/dev/null
  echo "the screen differs: see $expected.png and $actual.png"
  return 1
}

menu_lines() {
  printf '%s\n' "10 0 Brumo vs Tuk" "10 10 CONFIGURACION" "10 30 1-   Configurar teclas jugador 1" \
    "10 40 2-   Configurar teclas jugador 2" "10 50 ESC- Salir"
}

capture_lines() { # names of the keys taken so far
  local actions=(arriba abajo izquierda derecha trompada bloqueo patada) row
  for ((row = 0; row < 7 && row <= $#; row++)); do
    echo "0 $((10 + 10 * row)) presione tecla para ${actions[row]}"
  done
  row=0
  for name; do
    echo "220 $((10 + 10 * row++)) = $name"
  done
}

# The keys of a player's section, as "name value" lines in action order.
section_keys() { # player (1 or 2)
  sed -n "/^\[jugador$(($1 - 1))\]/,/^\[/p" "$GAME/brumo.ini" | sed -n 's/^\([a-z]*\) = \(.*\)$/\1 \2/p'
}
