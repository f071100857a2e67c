#!/usr/bin/env bats
# The Windows .exe (BRUMO_SETUP, built for BRUMO_WINE_ARCH: i686 or x86_64) under Wine and openbox,
# a Wine prefix per display in WINE_PREFIXES: the on-screen cases that mean something on Windows.

load lib

setup_file() {
  start_display --wm "${SCREEN_SIZE:-}"; setxkbmap -layout es; xset r rate 30 33  # keys repeat soon and often
  # shellcheck source=../../windows/wine-env.sh
  source "$BRUMO_SOURCE/windows/wine-env.sh"
  brumo_wine_env "$DISPLAY" "$WINE_PREFIXES" "${BRUMO_WINE_ARCH:-i686}" || fail_with "no Wine prefix"
  # Wine finds each X key's place on a Windows keyboard from its characters, in Latin-1 tables: in
  # a UTF-8 locale a key with a letter beyond ASCII gets a spare scancode. Its X input method
  # swallows a dead key's press and the letter after it, which Windows passes on as two presses.
  export LC_ALL=C
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXIM /d N /f >/dev/null 2>&1 || fail_with "Wine's XIM still on"
}
teardown_file() { wineserver -k 2>/dev/null || true; stop_display; }
setup() { RUN_WITH=(wine) BOX_WINDOW='^brumo-setup$'; }
# Wine run as root writes a read-only file: an unwritable one is made immutable.
freeze() { chattr +i "$GAME/brumo.ini" || fail_with "brumo.ini not made immutable"; }
teardown() { end_program; chattr -R -i "$BATS_TEST_TMPDIR" 2>/dev/null || true; umount -ql "$BATS_TEST_TMPDIR"/{alias,game*} 2>/dev/null || true; }
# Once the window is open the library's message box bears its title.
refused_at_hotkey() { hotkey 1; BOX_WINDOW='^Brumo vs Tuk$' expect_refusal "$1"; }

@test "under Wine: the unit tests pass, the same files as on Linux [P130 P134 P141]" {
  BRUMO_ALLEGRO_SOURCE=Z:$BRUMO_ALLEGRO_SOURCE wine "$BRUMO_UNIT_TESTS" --gtest_brief=1 >"$BRUMO_UNIT_LOG" 2>&1 &&
    grep -q 'PASSED' "$BRUMO_UNIT_LOG" || fail_with "$(cat "$BRUMO_UNIT_LOG")"
}
@test "under Wine: the menu, a capture of arrows, a letter held 2 s (bound once) and modifiers with their names and numbers; the saved file is closed (Windows renames it meanwhile); on a Spanish layout AltGr twice binds ALTGR twice; the close button mid-capture ends with status 0 keeping the keys taken [P10 P21 P26 P28 P31 P40 P128 P129 P130 P138 P139 P146 P147 P154 P173 P177 P179]" {
  start_and_press; expect_kept_when_covered; start_capture 1; press Up Down Left Right +a @2000 -a Shift_L Control_R
  expect_capture ARRIBA ABAJO IZQUIERDA DERECHA A LSHIFT RCONTROL; expect_keys 1 "84 85 82 83 1 103 106"
  (cd "$GAME" && wine cmd /c ren brumo.ini saved.ini) || fail_with "brumo.ini is still open"
  press space; expect_menu; start_capture 2; press Control_L '#108' '#108' Alt_L; expect_capture LCONTROL ALTGR ALTGR ALT
  wmctrl -c 'Brumo vs Tuk'; expect_exit 0; expect_keys 2 "105 108 108 107"
}
@test "under Wine: refused in the temporary folder and in one under it (a zip opened in place), for a file the library would damage, one that cannot be written at start or at the hotkey, as a second copy (reached by another path) and on a full disk; the end of the session mid-capture saves the keys taken, unvetoed; no trial save leaves its scratch file [P48 P59 P64 P67 P84 P127 P132 P133 P135 P136]" {
  local temp rows row line zip='el programa se ha abierto en una carpeta temporal, quiza dentro del zip; extraigalo en la carpeta del juego y ejecutelo alli' \
    unwritable='no se puede escribir "brumo.ini" (permiso denegado): las teclas no se podrian guardar; no se ha modificado'
  temp=$(wine winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')") && [[ -d $temp ]] || fail_with "no %TEMP%"
  rm -f "$temp"/brs*.tmp
  # The folder (the test's own if empty), brumo.ini's bytes (none if empty), the steps, their line.
  rows=("$temp" '' 'refused_at_start "$line"' "$zip"
    "$temp/Temp1_brumo-setup-windows.zip" '' 'refused_at_start "$line"' "$zip"
    '' '\xef\xbb\xbf[jugador0]\r\narriba = 84\r\n' 'refused_at_start "$line"' '"brumo.ini", linea 1: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM; no se ha modificado'
    '' '[teclado]\r\n[jugador0] ; Brumo\r\n' 'start_and_press; refused_at_hotkey "$line"' '"brumo.ini", linea 2: la biblioteca estropearia esta cabecera de seccion al guardar (un espacio en el nombre, texto detras o falta el ]); corrijala o ponga el texto tras un #; no se ha modificado'
    '' '[jugador0]\r\n' 'freeze; refused_at_start "$line"' "$unwritable"
    '' '[jugador0]\r\n' 'start_and_press; freeze; refused_at_hotkey "$line"' "$unwritable"
    '' '[jugador0]\r\narriba = 84\r\n' 'start_and_press; mkdir "$T/alias"; mount --bind "$GAME" "$T/alias"; GAME=$T/alias second_copy_refused; leave_with_esc; cmp "$T/before" "$GAME/brumo.ini"' ''
    '' '' 'start_and_press; start_capture 1; press a b c; expect_capture A B C; wine wineboot --end-session || fail_with "logoff vetoed"; expect_exit 0; expect_keys 1 "1 2 3"' ''
    '' '' 'mkdir "$GAME"; mount -t tmpfs -o size=16k tmpfs "$GAME"; write_file "$(printf "#%.0s" {1..4060})\n[jugador0]\n"; head -c 12288 /dev/zero >"$GAME/f"; start_and_press; refused_at_hotkey "$line"' 'no se podrian guardar las teclas en "brumo.ini": no queda espacio en el disco; no se ha modificado'
  )
  for ((row = 0; row < ${#rows[@]}; row += 4)); do
    GAME=${rows[row]:-$BATS_TEST_TMPDIR/game$row} line=${rows[row + 3]}; rm -f "$BATS_TEST_TMPDIR/before"
    echo "row $((row / 4 + 1)): ${rows[row + 2]}" >&2; [[ -z ${rows[row + 1]} ]] || write_file "${rows[row + 1]}"
    eval "${rows[row + 2]}"; [[ -z $(compgen -G "$temp/brs*.tmp") ]] || fail_with "left behind: $(ls "$temp"/brs*.tmp)"
  done
}

# The file's numbers of the keys at these X keycodes: the library's DirectInput table (wkeybd.c,
# kept by its build) at each key's scancode, the keycode less 8 or, for the extended keys, 0x80
# above the byte after their E0; KEY_SEMICOLON and the modifiers in the file's numbering.
EXTENDED=([105]=0x9d [108]=0xb8 [133]=0xdb [134]=0xdc [135]=0xdd)
table_numbers() { # keycodes...
  local allegro=${BRUMO_SETUP%/*}/allegro keycode scancodes=()
  for keycode; do scancodes+=($((${EXTENDED[keycode]:-keycode - 8}))); done
  awk -v wanted="${scancodes[*]}" '$2 == "=" && /__allegro_KEY_/ { number[substr($1, 11)] = $3 + 0 }
    /^ *\/\* 0x/ { for (i = 4; i <= NF; i++) key[size++] = substr($i, 1, index($i ",", ",") - 1) }
    END { for (i = 1; i <= split(wanted, at, " "); i++) { n = number[key[at[i]]]
      n = n == number["KEY_SEMICOLON"] ? number["KEY_COLON"] : n >= number["KEY_LSHIFT"] ? n + 103 - number["KEY_LSHIFT"] : n
      printf "%s%d", (i > 1 ? " " : ""), n } }' "$allegro/include/allegro/keyboard.h" "$allegro/src/win/wkeybd.c"
}
@test "under Wine, on the US, French, German and Spanish layouts, every key of the main block and every modifier binds as the key at its place in the library's DirectInput table; dead keys and the letter after one bind [P24 P26 P27 P29 P34 P38 P129 P130 P131 P145 P154 P170 P171 P172 P174]" {
  local layout keys i player
  for layout in us fr de es; do
    setxkbmap -layout "$layout"; start_and_press
    # Dead keys first, each before a letter (es: ` and ´, fr: ^, de: ^), then the rest of the
    # main block and the modifiers, and keys from the start again to fill the last capture.
    # Wine's German table has no key right of ß: it gets a spare scancode there.
    keys=(34 38 48 39 49 40 {10..20} $([[ $layout == de ]] || echo 21) {24..33} 35 {41..47} 51
      {52..61} 94 50 62 37 105 64 108 133 134 135 66)
    keys+=("${keys[@]:0:(7 - ${#keys[@]} % 7) % 7}")
    # Players 1 and 2 in turn: player 2's capture started by the key closing player 1's.
    for ((i = 0; i < ${#keys[@]}; i += 7)); do
      player=$((1 + i / 7 % 2)); start_capture "#$((9 + player))"; press $(printf ' #%s' "${keys[@]:i:7}")
      expect_keys $player "$(table_numbers "${keys[@]:i:7}")"; ((player == 1)) || { press space; expect_menu; }
    done
    leave_with_esc
  done
}
