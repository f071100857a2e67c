#!/usr/bin/env bats
# Files the program refuses, saves that would misplace keys or cannot succeed, and a file or a
# display that changes under the program: nothing is lost silently, no failure ends with 0.

load lib

setup_file() { start_display; }
teardown_file() { stop_display; }
teardown() {
  end_program
  [[ -z ${TMPFS:-} ]] || umount "$TMPFS"
  [[ -z ${OWN_XVFB:-} ]] || kill "$OWN_XVFB" 2>/dev/null || true
}

keys_saved() { [[ $(section_keys "$1" | wc -l) == "$2" ]]; }

# Refused with status 1, the line on stderr and in the message box, the file as it was.
expect_refusal() { # line
  close_message_box
  expect_exit 1
  expect_error_line "$1"
  [[ ! -e $BATS_TEST_TMPDIR/before ]] || cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
}

@test "a file the library would damage is refused with its line, in one clean line, and kept byte for byte" {
  write_file '\xef\xbb\xbf[jugador0]\narriba = 84\n'
  # The message box's own warnings would reach stderr too; a UTF-8 locale brings them out.
  LANG=C.UTF-8 start_program
  expect_refusal '"brumo.ini", linea 1: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM; no se ha modificado'
  write_file '[jugador0]\narriba = 84\n[sonido]\nvolumen = 3\n'
  start_program
  expect_refusal '"brumo.ini", linea 3: esta seccion empieza sin una linea vacia tras una seccion de jugador incompleta, y la biblioteca guardaria aqui las teclas que le faltan; ponga una linea vacia antes; no se ha modificado'
}

@test "a link to nothing in the file's place is refused: the keys would be saved nowhere" {
  mkdir -p "$BATS_TEST_TMPDIR/game"
  ln -s /no/such/place/brumo.ini "$BATS_TEST_TMPDIR/game/brumo.ini"
  start_program
  expect_refusal '"brumo.ini" es un enlace a un archivo que no existe, y las teclas podrian no guardarse en ninguna parte; borre el enlace o cree el archivo'
}

@test "for an ordinary user, a read-only file and a directory where the file cannot be made are refused" {
  nobody_place
  printf '[jugador0]\narriba = 84\n' >"$GAME/brumo.ini"
  chmod 444 "$GAME/brumo.ini"
  start_program --nobody
  expect_refusal 'no se puede escribir "brumo.ini" (permiso denegado): las teclas no se podrian guardar; no se ha modificado'

  rm "$GAME/brumo.ini"
  chown root "$GAME"
  start_program --nobody
  expect_refusal 'no se puede crear "brumo.ini" en este directorio (permiso denegado): las teclas no se podrian guardar'
}

@test "started in a directory that was deleted, it refuses" {
  mkdir "$BATS_TEST_TMPDIR/gone"
  cd "$BATS_TEST_TMPDIR/gone"
  rmdir "$BATS_TEST_TMPDIR/gone"
  GAME=.
  start_program
  expect_refusal 'el directorio actual ya no existe o no se puede leer (no existe); ejecute el programa en el directorio del juego'
}

@test "a file ending in a header the library would append to is refused before the capture, and an empty line mends it" {
  write_file '[jugador1]'
  start_program
  focus_program
  press 1
  expect_refusal '"brumo.ini", linea 1: la biblioteca guardaria las teclas del jugador 1 fuera de su seccion; anada una linea vacia al final del archivo; no se ha modificado'
  printf '\n\n' >>"$GAME/brumo.ini"
  start_program
  focus_program
  press 1 a b c d e f g space 2 h i j k l m n space Escape
  expect_exit 0
  [[ $(section_keys 1 | tr '\n' ' ') == "1 2 3 4 5 6 7 " ]]
  [[ $(section_keys 2 | tr '\n' ' ') == "8 9 10 11 12 13 14 " ]]
}

@test "a save past the file-size limit, onto a full disk or into a file made read-only is refused with the file kept" {
  local comments
  comments=$(printf '#%.0s' {1..1900})
  write_file "$comments\n[jugador0]\narriba = 1\n"
  RUN_WITH=(sh -c 'ulimit -f 2 && exec "$0"')
  start_program
  focus_program
  press 1 a b c d e f g
  expect_refusal 'no se pudo guardar "brumo.ini": supera el limite de tamano de archivo del proceso (ulimit -f); no se ha modificado'
  RUN_WITH=()

  if [[ $(id -u) == 0 ]]; then
    TMPFS=$BATS_TEST_TMPDIR/small
    mkdir "$TMPFS"
    mount -t tmpfs -o size=16k tmpfs "$TMPFS"
    GAME=$TMPFS
    # One page of file grown past its end by the save, three pages of filler: no room left.
    write_file "$(printf '#%.0s' {1..4060})\n[jugador0]\narriba = 1\n"
    head -c 12288 /dev/zero >"$TMPFS/filler"
    start_program
    focus_program
    press 1 a b c d e f g
    expect_refusal 'no se pudo guardar "brumo.ini": no queda espacio en el disco; no se ha modificado'
  fi
  nobody_place
  write_file '[jugador0]\narriba = 1\n'
  chown nobody "$GAME/brumo.ini"
  start_program --nobody
  focus_program
  chmod 444 "$GAME/brumo.ini"
  press 1
  expect_refusal 'no se puede escribir "brumo.ini" (permiso denegado): las teclas no se podrian guardar; no se ha modificado'
}

@test "a second copy in the same directory is refused while the first keeps working" {
  write_file '[jugador0]\narriba = 1\n\n'
  start_program
  focus_program
  (
    BATS_TEST_TMPDIR=$BATS_TEST_TMPDIR/second
    mkdir "$BATS_TEST_TMPDIR"
    start_program
    expect_refusal 'otra copia de brumo-setup ya esta configurando las teclas en este directorio; cierrela antes de abrir otra'
  )
  focus_program
  press 2 a b c d e f g
  wait_for 5 keys_saved 2 7
  [[ $(section_keys 1) == 1 ]]
}

@test "edits made while it runs are kept, in place or renamed into place; a file swapped for a FIFO or a link is refused" {
  write_file '[jugador0]\narriba = 1\n\n'
  start_program
  focus_program
  printf '[sonido]\nvolumen = 3\n\n' >>"$GAME/brumo.ini"
  press 2 a b c d e f g space
  wait_for 5 keys_saved 2 7
  # As editors save: a new file renamed over the old one.
  { printf '[video]\nmodo = ventana\n\n' && cat "$GAME/brumo.ini"; } >"$GAME/new"
  mv "$GAME/new" "$GAME/brumo.ini"
  press 1 h i j k l m n space
  wait_for 5 keys_saved 1 7
  grep -qx 'volumen = 3' "$GAME/brumo.ini" && grep -qx 'modo = ventana' "$GAME/brumo.ini"
  keys_saved 2 7

  # Swapped for a FIFO in the middle of a capture: the save must neither block nor write.
  press 2 o p
  mv "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"
  mkfifo "$GAME/brumo.ini"
  press q r s t u
  close_message_box
  expect_exit 1
  expect_error_line '"brumo.ini" no es un archivo normal sino una tuberia con nombre (FIFO); borrelo o cambiele el nombre'

  # Swapped for a link to another file: refused, and that file is left alone.
  rm "$GAME/brumo.ini"
  mv "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
  start_program
  focus_program
  printf 'otro\n' >"$BATS_TEST_TMPDIR/elsewhere"
  mv "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"
  ln -s "$BATS_TEST_TMPDIR/elsewhere" "$GAME/brumo.ini"
  press 1
  close_message_box
  expect_exit 1
  expect_error_line '"brumo.ini" se ha cambiado por un enlace a otro archivo mientras el programa funcionaba; no se ha modificado'
  [[ $(cat "$BATS_TEST_TMPDIR/elsewhere") == otro ]]
}

@test "the display going away after a capture or in the middle of one ends it with the keys taken saved" {
  local moment
  for moment in after during; do
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$BATS_TEST_TMPDIR/own" 2>/dev/null &
    OWN_XVFB=$!
    wait_for 10 test -s "$BATS_TEST_TMPDIR/own"
    DISPLAY=:$(cat "$BATS_TEST_TMPDIR/own")
    rm -f "$BATS_TEST_TMPDIR/own"
    GAME=$BATS_TEST_TMPDIR/$moment
    start_program
    focus_program
    if [[ $moment == after ]]; then
      press 1 a b c d e f g space
      menu_lines | expect_screen
    else
      press 1 a b c
      capture_lines A B C | expect_screen
    fi
    kill "$OWN_XVFB"
    expect_exit 1
    expect_error_line 'se perdio la conexion con la pantalla; las teclas tomadas estan guardadas'
    [[ $(section_keys 1 | wc -l) == $([[ $moment == after ]] && echo 7 || echo 3) ]]
  done
}

@test "a file a save would take past the size cap is refused before the capture" {
  # Bare names: the library writes each back as "name = ", two and a half times as long.
  write_file "$(printf 'x\n%.0s' {1..300000})\n\n"
  start_program
  focus_program
  press 1
  expect_refusal 'guardar las teclas haria "brumo.ini" mayor que 1 MiB; no se ha modificado'
}
