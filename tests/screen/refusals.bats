#!/usr/bin/env bats
# Files and places the program refuses at start: one line on stderr, the same in the library's
# message box, status 1, and the file left as it was.

load lib

setup_file() { start_display; }
teardown_file() { stop_display; }
teardown() { end_program; }

# Starts the program on what the test prepared in GAME and expects the refusal.
expect_refused_start() { # line [--nobody]
  start_program "${@:2}"
  close_message_box
  expect_exit 1
  expect_error_line "$1"
  ! xdotool search --name '^Brumo vs Tuk$'
}

@test "a file the library would damage is refused with its line, in one clean line, and kept byte for byte" {
  GAME=$BATS_TEST_TMPDIR/game
  mkdir -p "$GAME"
  printf '\xef\xbb\xbf[jugador0]\narriba = 84\n' >"$GAME/brumo.ini"
  cp "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"
  # The message box's own warnings would reach stderr too; a UTF-8 locale brings them out.
  LANG=C.UTF-8 expect_refused_start '"brumo.ini", linea 1: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM; no se ha modificado'
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"

  rm "$BATS_TEST_TMPDIR/status"
  printf '[jugador0]\narriba = 84\n[sonido]\nvolumen = 3\n' >"$GAME/brumo.ini"
  cp "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/before"
  expect_refused_start '"brumo.ini", linea 3: esta seccion empieza sin una linea vacia tras una seccion de jugador incompleta, y la biblioteca guardaria aqui las teclas que le faltan; ponga una linea vacia antes; no se ha modificado'
  cmp "$BATS_TEST_TMPDIR/before" "$GAME/brumo.ini"
}

@test "a FIFO, a directory or a link to nothing in the file's place is refused without blocking" {
  GAME=$BATS_TEST_TMPDIR/fifo
  mkdir -p "$GAME"
  mkfifo "$GAME/brumo.ini"
  expect_refused_start '"brumo.ini" no es un archivo normal sino una tuberia con nombre (FIFO); borrelo o cambiele el nombre'

  rm "$BATS_TEST_TMPDIR/status"
  GAME=$BATS_TEST_TMPDIR/directory
  mkdir -p "$GAME/brumo.ini"
  expect_refused_start '"brumo.ini" no es un archivo normal sino un directorio; borrelo o cambiele el nombre'

  rm "$BATS_TEST_TMPDIR/status"
  GAME=$BATS_TEST_TMPDIR/link
  mkdir -p "$GAME"
  ln -s /no/such/place/brumo.ini "$GAME/brumo.ini"
  expect_refused_start '"brumo.ini" es un enlace a un archivo que no existe, y las teclas podrian no guardarse en ninguna parte; borre el enlace o cree el archivo'
}

@test "for an ordinary user, a read-only file and a directory where the file cannot be made are refused" {
  nobody_place
  printf '[jugador0]\narriba = 84\n' >"$GAME/brumo.ini"
  chmod 444 "$GAME/brumo.ini"
  expect_refused_start 'no se puede escribir "brumo.ini" (permiso denegado): las teclas no se podrian guardar; no se ha modificado' --nobody

  rm "$GAME/brumo.ini" "$BATS_TEST_TMPDIR/status"
  chown root "$GAME"
  expect_refused_start 'no se puede crear "brumo.ini" en este directorio (permiso denegado): las teclas no se podrian guardar' --nobody
}

@test "started in a directory that was deleted, it refuses" {
  mkdir "$BATS_TEST_TMPDIR/gone"
  cd "$BATS_TEST_TMPDIR/gone"
  rmdir "$BATS_TEST_TMPDIR/gone"
  GAME=.
  expect_refused_start 'el directorio actual ya no existe o no se puede leer (no existe); ejecute el programa en el directorio del juego'
}
