# The on-screen tests' shared steps: a display per test file, the program (BRUMO_SETUP) in each
# test's own directory, keys pressed one keycode each through XTest (SCREEN_HELPER), the window
# read back with xwd. Every helper ends the test itself when a step fails, wherever it is called
# from: bash ignores errexit inside a function called from a condition or an && chain.
bats_require_minimum_version 1.5.0
BATS_TEST_TIMEOUT=${BATS_TEST_TIMEOUT:-150}
fail_with() { echo "$@" >&2; exit 1; }
poll() { # seconds command...: polls the command until it succeeds; status 1 when time runs out
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do ((SECONDS <= end)) || return 1; sleep 0.05; done
}
wait_for() { poll "$@" || fail_with "gave up after $1 s waiting for: ${*:2}"; } # as poll, or the test ends
# For setup_file; -noreset keeps a layout set with setxkbmap. --wm: openbox, as on a desktop. SIZE:
# WxH (640x480 if empty), or WxH+WxH for two monitors side by side (Xinerama), then Xvfb's options.
start_display() { # [--wm] [SIZE]
  local wm=${1:-} display sizes screens=(+xinerama) size i=0; [[ $wm != --wm ]] || shift
  read -ra display <<<"${1:-640x480}"; IFS=+ read -ra sizes <<<"${display[0]}"; ((${#sizes[@]} > 1)) || screens=()
  for size in "${sizes[@]}"; do screens+=(-screen $((i++)) "${size}x24"); done
  Xvfb -displayfd 3 "${screens[@]}" "${display[@]:1}" -nolisten tcp -noreset 3>"$BATS_FILE_TMPDIR/display" 2>/dev/null &
  echo $! >"$BATS_FILE_TMPDIR/xvfb.pid"; wait_for 10 test -s "$BATS_FILE_TMPDIR/display"
  export DISPLAY=":$(cat "$BATS_FILE_TMPDIR/display")"; [[ $wm == --wm ]] || return 0
  openbox >/dev/null 2>&1 & echo $! >"$BATS_FILE_TMPDIR/wm.pid"
  wait_for 10 eval '[[ $(xprop -root _NET_SUPPORTED) == *_NET_ACTIVE_WINDOW* ]] && wmctrl -m'
}
stop_display() { kill $(cat "$BATS_FILE_TMPDIR"/*.pid) 2>/dev/null || true; }
# A game directory and a copy of the program for a run as nobody, wherever the checkout lives.
nobody_place() {
  PLACE=$(mktemp -d /tmp/brumo-nobody.XXXXXX) GAME=$PLACE/game
  { chmod 755 "$PLACE" && mkdir "$GAME" && install -m 755 "$BRUMO_SETUP" "$PLACE/brumo-setup"; } || fail_with "no place for nobody"
  [[ $(id -u) != 0 ]] || chown nobody "$GAME" || fail_with "$GAME not given to nobody"
}
# The program in GAME (by default the test's own); its pid in PROGRAM, its status in $T/status (T:
# the test's directory). --nobody: as nobody when run as root, so that file permissions hold.
# RUN_WITH: a command to run it through. The library's box is xmessage: the one in BOX_BIN keeps
# its text in $T/box, renamed into place, as another group's program may be running the old one.
start_program() {
  local program=$BRUMO_SETUP run_as=("${RUN_WITH[@]}")
  if [[ ${1:-} == --nobody ]]; then
    [[ -n ${PLACE:-} ]] || nobody_place; program=$PLACE/brumo-setup
    [[ $(id -u) != 0 ]] || run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  T=${T:-$BATS_TEST_TMPDIR} GAME=${GAME:-$BATS_TEST_TMPDIR/game} BOX_BIN=/tmp/brumo-box-$(id -u)
  rm -f "$T/pid" "$T/status" "$T/box"
  { mkdir -p "$GAME" && mkdir -p -m 755 "$BOX_BIN" &&
    printf '#!/bin/sh\n{ printf "%%s" "$6" >"$BOX"; } 2>/dev/null\nexec /usr/bin/xmessage "$@"\n' >"$BOX_BIN/xmessage.$$" &&
    chmod 755 "$BOX_BIN/xmessage.$$" && mv -f "$BOX_BIN/xmessage.$$" "$BOX_BIN/xmessage"; } || fail_with "no $GAME or $BOX_BIN/xmessage"
  (cd "$GAME" || exit
    BOX=$T/box PATH=$BOX_BIN:$PATH "${run_as[@]}" "$program" >"$T/out" 2>"$T/err" & echo $! >"$T/pid"
    if wait $!; then echo 0; else echo $?; fi >"$T/status"
  ) &
  wait_for 5 test -s "$T/pid"; PROGRAM=$(cat "$T/pid")
}
end_program() { # for teardown: TERM first, as KILL leaves the library's shared memory behind
  if [[ -n ${PROGRAM:-} ]]; then
    pkill -P "$PROGRAM" -x xmessage 2>/dev/null || true; kill -TERM "$PROGRAM" 2>/dev/null || true
    poll 2 test -s "$T/status" || kill -9 "$PROGRAM" 2>/dev/null || poll 5 test -s "$T/status" || true
  fi
  [[ -z ${PLACE:-} ]] || rm -rf "$PLACE"
}
write_file() { # bytes (printf's escapes): brumo.ini in GAME, and a copy to compare with
  GAME=${GAME:-$BATS_TEST_TMPDIR/game}; mkdir -p "$GAME" && printf "$1" >"$GAME/brumo.ini" &&
    cp "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before" || fail_with "brumo.ini not written"
}
# The window gets the keyboard as on a desktop: from the window manager where one runs.
focus_program() {
  poll 10 xdotool search --name '^Brumo vs Tuk$' || fail_with "no window: $(cat "$T/err")"
  local how=windowfocus; WINDOW=$(xdotool search --name '^Brumo vs Tuk$' | head -1)
  ! wmctrl -m >/dev/null 2>&1 || how=windowactivate
  xdotool "$how" --sync "$WINDOW" || fail_with "window not given the keyboard ($how)"
}
# One keycode per key, as a keyboard sends it: see screen_helper. A tap is held 80 ms, as a
# person's press: the menu reads the key state once a frame. A hotkey is held until its capture
# shows, or long enough to be seen by a late frame; ESC in the menu until the program has gone.
press() { "$SCREEN_HELPER" press "$@" || fail_with "could not press $*"; }
start_capture() { press "+$1"; expect_capture; press "-$1"; }
hotkey() { press "+$1" @300 "-$1"; }
start_and_press() { start_program; focus_program; expect_menu; (($# == 0)) || press "$@"; } # keys
leave_with_esc() { press +Escape; expect_exit 0; press -Escape; }
expect_exit() { # status
  poll 10 test -s "$T/status" || fail_with "still running"
  [[ $(cat "$T/status") == "$1" ]] || fail_with "status $(cat "$T/status"), stderr: $(cat "$T/err")"
}
# The only line stderr may hold, after "brumo-setup: " (CRLF on Windows).
expect_error_line() { [[ $(tr -d '\r' <"$T/err") == "brumo-setup: $1" ]] || fail_with "stderr: $(cat "$T/err")"; }
# Refused: status 1, the line on stderr and in the message box, the file as it was.
BOX_WINDOW='^xmessage$'  # the box's window name, xmessage's on X11
expect_refusal() { # line
  poll 10 xdotool search --name "$BOX_WINDOW" || fail_with "no message box; stderr: $(cat "$T/err")"
  # Pressed again if the box was not yet taking keys. Typed, not sent to the window: a window
  # gone between press and release would leave Return held, closing the next box at once.
  for _ in 1 2 3 4 5; do
    xdotool search --name "$BOX_WINDOW" windowfocus --sync %1 2>/dev/null || true; press Return
    poll 1 eval '! xdotool search --name "$BOX_WINDOW"' && break
  done
  expect_exit 1; expect_error_line "$1"
  [[ ! -e $T/before ]] || cmp "$T/before" "$GAME/brumo.ini" || fail_with "brumo.ini changed"
  # The box said the same, in lines of at most 60 characters (nobody cannot keep it).
  [[ -n ${PLACE:-} && $(id -u) == 0 || $BOX_WINDOW != '^xmessage$' ]] && return
  local box; box=$(cat "$T/box") || fail_with "the message box showed nothing"
  [[ ${box//$'\n'/ } == "brumo-setup: $1" && -z $(awk 'length > 60' "$T/box") ]] || fail_with "message box: $box"
}
refused_at_start() { start_program "${@:2}"; expect_refusal "$1"; } # line [--nobody]
second_copy_refused() { # while the program runs in GAME; the second copy's own files in $T
  (T=$BATS_TEST_TMPDIR/second; mkdir "$T" || fail_with "no $T"
    refused_at_start 'otra copia de brumo-setup ya esta configurando las teclas en este directorio; cierrela antes de abrir otra') ||
    fail_with "the second copy was not refused"
}
# Polls until the window shows exactly the "x y text" lines given, blue on black, magnified by
# SCREEN_FACTOR (1 unless set), else keeps both as PNG in a folder of their own (bats removes the
# test's); SHOT=name saves it in BRUMO_SCREENSHOT_DIR.
screen_is_expected() {
  xwd -id "$WINDOW" -silent | convert xwd:- -depth 8 "rgb:$T/actual.rgb" && cmp -s "$T/expected.rgb" "$T/actual.rgb"
}
expect_screen() { # lines
  local kept p k=${SCREEN_FACTOR:-1}; local png=(-size $((320 * k))x$((240 * k)) -depth 8)
  printf '%s\n' "$@" | "$SCREEN_HELPER" render "$k" >"$T/expected.rgb" || fail_with "render failed"
  poll 10 screen_is_expected || { kept=$(mktemp -d "${TMPDIR:-/tmp}/brumo-screen.XXXXXX") || fail_with "the screen differs"
    for p in expected actual; do convert "${png[@]}" "rgb:$T/$p.rgb" "$kept/$p.png" || true; done
    fail_with "the screen differs: see $kept/expected.png and $kept/actual.png"; }
  [[ -z ${BRUMO_SCREENSHOT_DIR:-} || -z ${SHOT:-} ]] || convert "${png[@]}" "rgb:$T/actual.rgb" "$BRUMO_SCREENSHOT_DIR/$SHOT"
}
# Another window over the program's, then gone: the program's shows what it showed (the library
# redraws it from its own copy).
expect_kept_when_covered() {
  local k=${SCREEN_FACTOR:-1} cover X Y; eval "$(xdotool getwindowgeometry --shell "$WINDOW")" || fail_with "no window"
  xmessage -title cover -geometry "$((400 * k))x$((300 * k))+$X+$Y" cover & cover=$!
  poll 5 eval '! screen_is_expected' || fail_with "the window was never covered"; kill "$cover"
  poll 10 screen_is_expected || fail_with "the window was not redrawn once uncovered"
}
expect_menu() { expect_screen "10 0 Brumo vs Tuk" "10 10 CONFIGURACION" "10 30 1-   Configurar teclas jugador 1" \
  "10 40 2-   Configurar teclas jugador 2" "10 50 ESC- Salir"; }
ACTIONS=(arriba abajo izquierda derecha trompada bloqueo patada)
expect_capture() { # names of the keys taken so far
  local lines=() row
  for ((row = 0; row < 7 && row <= $#; row++)); do lines+=("0 $((10 + 10 * row)) presione tecla para ${ACTIONS[row]}"); done
  for ((row = 0; row < $#; row++)); do lines+=("220 $((10 + 10 * row)) = ${*:row+1:1}"); done
  expect_screen "${lines[@]}"
}
# The values of player 1's or 2's section, on one line.
section_keys() { tr -d '\r' 2>/dev/null <"$GAME/brumo.ini" | sed -n "/^\[jugador$(($1 - 1))\]/,/^\[/s/^[a-z]* = //p" | xargs; }
section_text() { local i; echo "[$1]"; for ((i = 0; i < 7; i++)); do echo "${ACTIONS[i]} = ${*:i+2:1}"; done; } # section values...
expect_file() { diff <(printf '%s\n' "$@") "$GAME/brumo.ini" >&2 || fail_with "brumo.ini is not as expected"; } # lines...
expect_keys() { # player values: polls until the player's section holds exactly these values
  poll 5 eval "[[ \$(section_keys $1) == '$2' ]]" || fail_with "player $1's keys: '$(section_keys "$1")', not '$2'"
}
