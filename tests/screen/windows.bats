#!/usr/bin/env bats
# The Windows .exe (BRUMO_SETUP, built for BRUMO_WINE_ARCH: i686 or x86_64) under Wine and openbox,
# a Wine prefix per display in WINE_PREFIXES: the on-screen cases that mean something on Windows.

load lib

setup_file() {
  start_display --wm; setxkbmap -layout es
  # shellcheck source=../../windows/wine-env.sh
  source "$BRUMO_SOURCE/windows/wine-env.sh"
  brumo_wine_env "$DISPLAY" "$WINE_PREFIXES" "${BRUMO_WINE_ARCH:-i686}" || fail_with "no Wine prefix"
  # Wine gives each X key the scancode of its place on a Windows keyboard by matching the X
  # layout's characters with its own tables, which are Latin-1: in a UTF-8 locale every key with
  # a letter beyond ASCII gets a spare scancode instead. Its X input method swallows a dead key's
  # press and the letter after it, which Windows passes on as two presses.
  export LC_ALL=C
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXIM /d N /f >/dev/null 2>&1 ||
    fail_with "Wine's input method not turned off"
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

# The file's numbers of the keys at these X keycodes: the library's DirectInput table (Allegro's
# wkeybd.c, kept by the library's build) read at each key's scancode, the keycode less 8 or, for
# the extended keys, 0x80 above the byte after their E0; KEY_SEMICOLON and the modifiers in the
# file's numbering.
EXTENDED=([105]=0x9d [108]=0xb8 [133]=0xdb [134]=0xdc [135]=0xdd)
table_numbers() { # keycodes...
  local allegro=${BRUMO_SETUP%/*}/allegro keycode scancodes=()
  for keycode; do scancodes+=($((${EXTENDED[keycode]:-keycode - 8}))); done
  awk -v scancodes="${scancodes[*]}" '
    /__allegro_KEY_[A-Z0-9_]* *=/ { sub(/^ *__allegro_/, ""); sub(/,/, ""); number[$1] = $3 }
    /hw_to_mycode\[256\] = \{/ { table = 1; next }
    table && /^\};/ { table = 0 }
    table {
      gsub(/\/\*[^*]*\*\/| /, "")
      n = split($0, row, ",")
      for (i = 1; i <= n; i++) if (row[i] != "") key[size++] = row[i]
    }
    END {
      count = split(scancodes, wanted, " ")
      for (i = 1; i <= count; i++) {
        n = number[key[wanted[i]]]
        if (n == number["KEY_SEMICOLON"]) n = number["KEY_COLON"]
        else if (n >= number["KEY_LSHIFT"]) n += 103 - number["KEY_LSHIFT"]
        printf "%s%d", (i > 1 ? " " : ""), n
      }
    }' "$allegro/include/allegro/keyboard.h" "$allegro/src/win/wkeybd.c"
}

@test "under Wine, on the US, French, German and Spanish layouts, every key of the main block and every modifier binds as the key at its place in the library's DirectInput table; dead keys and the letter after one bind" {
  local layout keys i player
  for layout in us fr de es; do
    setxkbmap -layout "$layout"
    start_and_press
    # Dead keys first, each before a letter (es: ` and ´, fr: ^, de: ^), then the rest of the
    # main block and the modifiers, and keys from the start again to fill the last capture.
    # Wine's German table has no key right of ß: it gets a spare scancode there.
    keys=(34 38 48 39 49 40 {10..20} $([[ $layout == de ]] || echo 21) {24..33} 35 {41..47} 51
      {52..61} 94 50 62 37 105 64 108 133 134 135 66)
    keys+=("${keys[@]:0:(7 - ${#keys[@]} % 7) % 7}")
    # Players 1 and 2 in turn: player 2's capture started by the key closing player 1's.
    for ((i = 0; i < ${#keys[@]}; i += 7)); do
      player=$((1 + i / 7 % 2))
      start_capture "#$((9 + player))"
      press $(printf ' #%s' "${keys[@]:i:7}")
      expect_keys $player "$(table_numbers "${keys[@]:i:7}")"
      ((player == 1)) || { press space; expect_menu; }
    done
    leave_with_esc
  done
}
