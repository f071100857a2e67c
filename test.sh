#!/bin/sh
# Builds brumo-setup and its tests and runs every test (the same as make test).
# Installs the Debian packages it needs first (make among them), and nothing when all are there.
set -eu
source_dir=$(cd "$(dirname "$0")" && pwd)
sh "$source_dir/scripts/install-deps" test
exec make -C "$source_dir" --no-print-directory test
