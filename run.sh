#!/bin/sh
# Builds brumo-setup and starts it in the game's directory, where it reads and writes
# brumo.ini: GAME_DIR when set, else the directory this is run from.
#   sh run.sh                      # here
#   GAME_DIR=/path/to/game sh run.sh
# Installs the Debian packages it needs first (make among them), and nothing when all are there.
set -eu
source_dir=$(cd "$(dirname "$0")" && pwd)
game_dir=${GAME_DIR:-$(pwd)}
if [ ! -d "$game_dir" ]; then
  echo "run.sh: GAME_DIR '$game_dir' is not a directory" >&2
  exit 1
fi
game_dir=$(cd "$game_dir" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no graphical display (DISPLAY is not set); run it from a desktop session" >&2
  exit 1
fi
sh "$source_dir/scripts/install-deps" run
GAME_DIR=$game_dir exec make -C "$source_dir" --no-print-directory run
