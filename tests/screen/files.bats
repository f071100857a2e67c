#!/usr/bin/env bats
# Files the program refuses, saves that would misplace keys or cannot succeed, and a file or a
# display that changes under the program: nothing is lost silently, no failure ends with 0.

load lib

setup_file() { start_display; }
teardown_file() { stop_display; }
teardown() {
  end_program; [[ -z ${TMPFS:-} ]] || umount "$TMPFS"; [[ -z ${OWN_XVFB:-} ]] || kill "$OWN_XVFB" 2>/dev/null || true
}

capture() { # player keys...: from the menu, the player's hotkey, then the keys and the closing one
  focus_program; expect_menu; start_capture "$1"; press "${@:2}"; wait_for 5 eval "[[ \$(section_keys $1 | wc -w) == 7 ]]"
}
refused_at_hotkey() { start_and_press; hotkey 1; expect_refusal "$1"; } # message

@test "files the library would damage or save nowhere, unwritable ones and a vanished directory are refused [P9 P37 P48 P49 P51 P52 P58 P60 P62 P63 P64 P65 P66 P67 P78 P81 P84 P98 P167]" {
  local unwritable='no se puede escribir "brumo.ini" (permiso denegado): las teclas no se podrian guardar; no se ha modificado' \
    gone='el directorio actual ya no existe o no se puede leer (no existe); ejecute el programa en el directorio del juego'
  # A UTF-8 locale brings out the message box's own warnings on stderr, if fonts are missing.
  write_file '\xef\xbb\xbf[jugador0]\narriba = 84\n'
  LANG=C.UTF-8 refused_at_start '"brumo.ini", linea 1: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM; no se ha modificado'
  write_file '[teclado]\n[jugador0] ; Brumo\n'
  refused_at_hotkey '"brumo.ini", linea 2: la biblioteca estropearia esta cabecera de seccion al guardar (un espacio en el nombre, texto detras o falta el ]); corrijala o ponga el texto tras un #; no se ha modificado'
  rm "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"; mkdir "$GAME/brumo.ini"
  refused_at_start '"brumo.ini" no es un archivo normal sino un directorio; borrelo o cambiele el nombre; no se ha modificado'
  rmdir "$GAME/brumo.ini"; ln -s /dev/null "$GAME/brumo.ini"
  refused_at_start '"brumo.ini" no es un archivo normal sino un dispositivo; borrelo o cambiele el nombre; no se ha modificado'
  ln -sfn /no/such/place/brumo.ini "$GAME/brumo.ini"
  refused_at_start '"brumo.ini" es un enlace a un archivo que no existe, y las teclas podrian no guardarse en ninguna parte; borre el enlace o cree el archivo'
  mkdir "$BATS_TEST_TMPDIR/gone"; cd "$BATS_TEST_TMPDIR/gone"; rmdir "$PWD"; GAME=.; refused_at_start "$gone"
  # Removed while the program runs: refused at the hotkey, before any key is typed.
  cd "$BATS_TEST_TMPDIR"; GAME=$BATS_TEST_TMPDIR/gone; start_and_press; rmdir "$GAME"; hotkey 1; expect_refusal "$gone"
  # For an ordinary user: a file or a directory that cannot be written, at start or later.
  cd "$BATS_TEST_TMPDIR"; nobody_place; write_file '[jugador0]\narriba = 84\n\n'; chmod 444 "$GAME/brumo.ini"
  refused_at_start "$unwritable" --nobody
  chmod 666 "$GAME/brumo.ini"; start_program --nobody; focus_program; expect_menu; chmod 444 "$GAME/brumo.ini"; hotkey 1
  expect_refusal "$unwritable"
  chmod 666 "$GAME/brumo.ini"; start_program --nobody; focus_program; expect_menu; start_capture 1; press a b c  # mid-capture
  chmod 444 "$GAME/brumo.ini"; press d e f g; expect_refusal "$unwritable"
  chmod 666 "$GAME/brumo.ini"; chmod 555 "$GAME"; start_program --nobody; capture 1 {a..g} space; leave_with_esc  # the file alone writable
  chmod 755 "$GAME"; rm "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"; chmod 555 "$GAME"; refused_at_start 'no se puede crear "brumo.ini" en este directorio (permiso denegado): las teclas no se podrian guardar' --nobody
}
@test "where the library would put keys in another section, an empty line is all the save adds; a link to the file stays a link through saves, its file replaced by an editor's save included; make start runs the program in GAME_DIR as typed; a file the program makes is readable by the game as any user [P1 P74 P75 P76 P77 P79 P80 P90 P91 P92 P108 P114 P119 P120 P151 P162]" {
  cd "$BATS_TEST_TMPDIR"; mkdir game; printf '[jugador1]' >real.ini; ln -s ../real.ini game/brumo.ini
  start_program; capture 1 {a..g} space; expect_file "[jugador1]" "" "$(section_text jugador0 {1..7})"
  { printf '[video]\nmodo = 2\n\n' && cat real.ini; } >new; mv new real.ini; capture 2 {h..n} space; leave_with_esc
  [[ -L $GAME/brumo.ini ]] || fail_with "the link was replaced"
  expect_file "[video]" "modo = 2" "" "$(section_text jugador1 {8..14})" "" "$(section_text jugador0 {1..7})"
  GAME="$BATS_TEST_TMPDIR/it's \$HOME \$(x)"  # quotes and dollars included
  write_file '[jugador0]\r\narriba = 84\r\n[sonido]\r\nvolumen=3\r\n'
  RUN_WITH=(sh -c 'exec make -s -C "$1" start BUILD="$2" GAME_DIR="$3"' start "$BRUMO_SOURCE" "${BRUMO_SETUP%/*}" "$GAME")
  start_program; RUN_WITH=(); capture 1 a b c d e f g space
  expect_file "$(section_text jugador0 1 2 3 4 5 6 7)" "" "[sonido]" "volumen = 3"; leave_with_esc
  umask 022; GAME=$BATS_TEST_TMPDIR/new-game; start_program; capture 1 a b c d e f g space
  [[ $(stat -c %a "$GAME/brumo.ini") == 644 ]] || fail_with "made with mode $(stat -c %a "$GAME/brumo.ini")"
}
@test "a save past the size cap, the file-size limit or the disk's room is refused with the file kept [P48 P93 P94 P95 P96 P97 P115]" {
  # Three-digit keys would make the save exactly the cap: taken; a byte more: refused first.
  write_file "$(printf '#%.0s' {1..65427})\n[jugador0]\n"; start_and_press; start_capture 1; end_program
  write_file "$(printf '#%.0s' {1..65428})\n[jugador0]\n"
  refused_at_hotkey 'guardar las teclas haria "brumo.ini" mayor que 64 KiB; no se ha modificado'
  write_file "$(printf '#%.0s' {1..1900})\n[jugador0]\narriba = 1\n"; RUN_WITH=(sh -c 'ulimit -f 2 && exec "$0"')
  refused_at_hotkey 'no se pudo guardar "brumo.ini": supera el limite de tamano de archivo del proceso (ulimit -f); no se ha modificado'
  RUN_WITH=(); [[ $(id -u) == 0 ]] || skip "a full disk needs a tmpfs, which only root can mount"
  TMPFS=$BATS_TEST_TMPDIR/small GAME=$BATS_TEST_TMPDIR/small; mkdir "$TMPFS"; mount -t tmpfs -o size=16k tmpfs "$TMPFS"
  # One page of file that the save grows past its end, two pages of filler: one page left.
  write_file "$(printf '#%.0s' {1..4060})\n[jugador0]\narriba = 1\n"; head -c 8192 /dev/zero >"$TMPFS/filler"
  # Taken by another program mid-capture: the write finds no room, the file is kept.
  start_and_press; start_capture 1; head -c 4096 /dev/zero >"$TMPFS/more"; press a b c d e f g
  expect_refusal 'no se pudo guardar "brumo.ini": no queda espacio en el disco; no se ha modificado'
  # Known before the capture: nothing typed is lost.
  refused_at_hotkey 'no se podrian guardar las teclas en "brumo.ini": no queda espacio en el disco; no se ha modificado'
}
@test "a second copy is refused; edits made meanwhile are kept, in place or renamed; a file swapped for a FIFO or a link is refused [P48 P59 P61 P75 P78 P79 P80 P81 P82 P83 P96 P99]" {
  write_file '[jugador0]\narriba = 1\n\n'; start_program; second_copy_refused
  printf '[sonido]\nvolumen = 3\n\n' >>"$GAME/brumo.ini"; capture 2 a b c d e f g space
  # As editors save: a new file renamed over the old one.
  { printf '[video]\nmodo = 2\n\n' && cat "$GAME/brumo.ini"; } >"$GAME/new"; mv "$GAME/new" "$GAME/brumo.ini"
  capture 1 {h..n} space; expect_keys 2 "1 2 3 4 5 6 7"
  [[ $(grep -cx -e 'volumen = 3' -e 'modo = 2' "$GAME/brumo.ini") == 2 ]]
  # A FIFO in the middle of a capture: the save must neither block nor write.
  start_capture 2; press o p
  mv "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/kept"; rm "$BATS_TEST_TMPDIR/before"; mkfifo "$GAME/brumo.ini"; press q r s t u
  local fifo='"brumo.ini" no es un archivo normal sino una tuberia con nombre (FIFO); borrelo o cambiele el nombre; no se ha modificado'
  expect_refusal "$fifo"; mv -f "$BATS_TEST_TMPDIR/kept" "$GAME/brumo.ini"; start_and_press  # and one found at the hotkey
  mv "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/kept"; mkfifo "$GAME/brumo.ini"; hotkey 1; expect_refusal "$fifo"
  # A link put in its place, or one there from the start pointed elsewhere: refused, that file kept.
  rm "$GAME/brumo.ini"; mv "$BATS_TEST_TMPDIR/kept" "$GAME/brumo.ini"; echo otro >"$BATS_TEST_TMPDIR/elsewhere"
  for start in file link; do
    [[ $start == file ]] || { ln -sfn "$BATS_TEST_TMPDIR/kept" "$GAME/brumo.ini"; printf '[jugador0]\n' >"$BATS_TEST_TMPDIR/kept"; }
    start_and_press; ln -sfn "$BATS_TEST_TMPDIR/elsewhere" "$GAME/brumo.ini"; hotkey 1
    expect_refusal '"brumo.ini" se ha cambiado por un enlace a otro archivo mientras el programa funcionaba; no se ha modificado'
    [[ $(cat "$BATS_TEST_TMPDIR/elsewhere") == otro ]]
  done
}
@test "a stop signal while a refusal's message box is up ends the program and its box with status 1, and a copy started then is not refused; a stop whose save is refused shows no box; the display going away after a capture or in the middle of one ends it with the keys taken saved [P46 P47 P50 P52 P53 P54 P161]" {
  for how in TERM HUP INT; do
    write_file '\xef\xbb\xbf[a]\n'; RUN_WITH=(setsid); start_program; RUN_WITH=()
    poll 10 xdotool search --name '^xmessage$' || fail_with "no message box"
    # Ctrl+C in a terminal reaches the whole process group, the box included.
    if [[ $how == INT ]]; then kill -INT -- "-$PROGRAM"; else kill -s "$how" "$PROGRAM"; fi
    poll 1 test -s "$T/status" || fail_with "still running 1 s after SIG$how"
    expect_exit 1; cmp "$T/before" "$GAME/brumo.ini"
    poll 1 eval '! pgrep -s "$PROGRAM" xmessage' || fail_with "the box outlived the program"
    write_file '[a]\n'; start_and_press; leave_with_esc
  done
  # A stop whose save is refused: status 1 and no box, as nobody may be there to close it.
  start_and_press; start_capture 1; press a; rm "$GAME/brumo.ini"; mkfifo "$GAME/brumo.ini"
  kill -TERM "$PROGRAM"; expect_exit 1; [[ ! -e $T/box ]] || fail_with "a box after a stop signal"
  for taken in 7 3; do  # last: the display is taken away
    GAME=$BATS_TEST_TMPDIR/$taken; mkdir "$GAME"; BATS_FILE_TMPDIR=$GAME start_display # its own, to take away
    OWN_XVFB=$(cat "$GAME/xvfb.pid"); start_and_press; start_capture 1; press a b c; expect_capture A B C
    [[ $taken == 3 ]] || { press d e f g space; expect_menu; }
    kill "$OWN_XVFB"; expect_exit 1; expect_error_line 'se perdio la conexion con la pantalla; las teclas tomadas estan guardadas'
    [[ $(section_keys 1 | wc -w) == "$taken" ]]
  done
}
