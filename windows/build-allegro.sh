#!/usr/bin/env bash
# Builds the Allegro 4.4 that the Windows brumo-setup links: Debian's allegro4.4 4.4.3.1 source,
# with our patches (windows/patches/*.patch), cross-compiled for Windows with mingw-w64 as a
# static library, and installed (headers + lib/liballeg.a) into DEST.
#
#   windows/build-allegro.sh DEST [i686|x86_64]
#
# i686 (the default) is the build the players get; x86_64 serves only the tests under 64-bit Wine.

# The source comes from the Debian mirror this machine's apt is configured with (read from apt at
# run time), through apt's own downloader, and is checked against its pinned sha256.
# Idempotent: DEST keeps a stamp with the hashes of the source, the patches, the toolchain file
# and the configure options; when they all match, nothing is done. DEST must be missing, empty or
# a previous output of this script: it is replaced whole, never merged into.
# Needs the packages of `scripts/install-deps windows-i686` (or windows-x86_64).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
patch_dir=$here/patches

source_version=4.4.3.1
source_pool_path=pool/main/a/allegro4.4/allegro4.4_${source_version}.orig.tar.gz
source_sha256=ec19dbc9a021244582b4819b3583ee594b50141f9fcf6944a4ed8069cbf8d4d4
stamp_name=.brumo-allegro-build-stamp

configure_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DSHARED=OFF
  -DWANT_EXAMPLES=OFF
  -DWANT_TOOLS=OFF
  -DWANT_TESTS=OFF
  -DWANT_DOCS=OFF
  -DWANT_ALLEGROGL=OFF
  -DWANT_LOADPNG=OFF
  -DWANT_LOGG=OFF
  -DWANT_JPGALLEG=OFF
)

started=$SECONDS
log() { printf '[build-allegro %3ds] %s\n' $((SECONDS - started)) "$*"; }
die() {
  printf '[build-allegro] FAIL: %s\n' "$*" >&2
  exit 1
}

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ -z "$1" ]; then
  die "usage: $0 DEST [i686|x86_64] (the folder to install the Windows Allegro into, the processor)"
fi
arch=${2:-i686}
case $arch in
  i686 | x86_64) ;;
  *) die "unknown processor '$arch' (i686 or x86_64)" ;;
esac
toolchain=$here/toolchain-$arch-mingw.cmake
case $1 in
  /*) dest=$1 ;;
  *) dest=$PWD/$1 ;;
esac
dest=${dest%/}
[ -n "$dest" ] || die "DEST cannot be /"

for tool in /usr/lib/apt/apt-helper apt-get cmake make patch tar sha256sum \
  "$arch-w64-mingw32-gcc-posix" "$arch-w64-mingw32-g++-posix" "$arch-w64-mingw32-windres"; do
  command -v "$tool" >/dev/null ||
    die "$tool is missing: install them with: sh scripts/install-deps windows-$arch"
done
[ -f "$toolchain" ] || die "no toolchain file at $toolchain"
shopt -s nullglob
patches=("$patch_dir"/*.patch)
shopt -u nullglob
[ ${#patches[@]} -gt 0 ] || die "no patches in $patch_dir"

# --- Up to date? ------------------------------------------------------------------------------
wanted_stamp() {
  echo "allegro source $source_version sha256 $source_sha256"
  for p in "${patches[@]}"; do
    echo "patch $(basename "$p") sha256 $(sha256sum "$p" | cut -d' ' -f1)"
  done
  echo "toolchain sha256 $(cat "$toolchain" "$here/toolchain-mingw.cmake" | sha256sum | cut -d' ' -f1)"
  echo "configure ${configure_options[*]}"
  echo "keeps src/win/wkeybd.c"
}
stamp=$(wanted_stamp)

if [ -f "$dest/$stamp_name" ] && [ "$(cat "$dest/$stamp_name")" = "$stamp" ] &&
  [ -f "$dest/lib/liballeg.a" ] && [ -f "$dest/include/allegro.h" ]; then
  log "$dest already holds this build (same source, patches and options): nothing to do"
  exit 0
fi
if [ -e "$dest" ] && [ ! -f "$dest/$stamp_name" ] && [ -n "$(ls -A "$dest" 2>/dev/null)" ]; then
  die "$dest is not empty and holds no earlier build of this script: refusing to replace it"
fi
[ ! -e "$dest" ] || [ -d "$dest" ] || die "$dest exists and is not a folder"

# --- Scratch folder, removed on any exit ------------------------------------------------------
scratch=$(mktemp -d "${TMPDIR:-/tmp}/brumo-allegro.XXXXXX") || die "cannot make a scratch folder"
trap 'rm -rf "$scratch"' EXIT

# --- Source, from apt's configured Debian mirror ----------------------------------------------
# Every main component apt knows, security archive last (it has no allegro4.4).
# shellcheck disable=SC2016 # $(...) are apt's format fields, not the shell's
mapfile -t mirrors < <(apt-get indextargets --format '$(REPO_URI) $(COMPONENT)' \
  'Identifier: Packages' | awk '$2 == "main" { print (index($1, "security") ? 1 : 0), $1 }' |
  sort -u | sort -s -n -k1,1 | cut -d' ' -f2)
[ ${#mirrors[@]} -gt 0 ] ||
  die "apt's configuration names no Debian main archive (run apt-get update, check /etc/apt/sources.list*)"

tarball=$scratch/allegro4.4_${source_version}.orig.tar.gz
downloaded=no
for mirror in "${mirrors[@]}"; do
  url=${mirror%/}/$source_pool_path
  log "downloading $url"
  if /usr/lib/apt/apt-helper download-file "$url" "$tarball" "SHA256:$source_sha256" \
    >"$scratch/download.log" 2>&1; then
    downloaded=yes
    break
  fi
  log "not there: $(tail -n 1 "$scratch/download.log")"
  rm -f "$tarball"
done
[ "$downloaded" = yes ] || die "could not download $source_pool_path with sha256 $source_sha256 from any of: ${mirrors[*]}"
echo "$source_sha256  $tarball" | sha256sum --check --quiet - ||
  die "the downloaded source does not have sha256 $source_sha256"

log "unpacking"
tar -xzf "$tarball" -C "$scratch" || die "cannot unpack $tarball"
src=$scratch/allegro-$source_version
[ -f "$src/CMakeLists.txt" ] || die "the source did not unpack into $src"

# --- Patches: each must apply whole and exactly (no fuzz), or nothing is built ----------------
for p in "${patches[@]}"; do
  name=$(basename "$p")
  grep -q '^@@ ' "$p" || die "patch $name holds no hunk"
  if ! patch -d "$src" -p1 --forward --fuzz=0 --dry-run --batch <"$p" >"$scratch/patch.log" 2>&1; then
    cat "$scratch/patch.log" >&2
    die "patch $name does not apply to allegro $source_version"
  fi
  patch -d "$src" -p1 --forward --fuzz=0 --batch <"$p" >"$scratch/patch.log" 2>&1 || {
    cat "$scratch/patch.log" >&2
    die "patch $name failed to apply"
  }
  [ -z "$(find "$src" -name '*.rej' -print -quit)" ] || die "patch $name left rejected hunks"
  log "applied $name"
done

# --- Configure, build, install into a staging folder ------------------------------------------
build=$scratch/build
stage=$scratch/stage
log "configuring"
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$dest" "${configure_options[@]}" >"$scratch/configure.log" 2>&1 || {
  tail -n 40 "$scratch/configure.log" >&2
  die "cmake could not configure allegro (log above)"
}
log "building"
cmake --build "$build" --parallel 2 >"$scratch/build.log" 2>&1 || {
  grep -E -m 20 'error|Error' "$scratch/build.log" >&2 || tail -n 40 "$scratch/build.log" >&2
  die "allegro did not build (errors above)"
}
log "installing"
DESTDIR=$stage cmake --install "$build" >"$scratch/install.log" 2>&1 || {
  tail -n 20 "$scratch/install.log" >&2
  die "cmake --install failed"
}
staged=$stage$dest
[ -f "$staged/lib/liballeg.a" ] || die "the install has no lib/liballeg.a"
[ -f "$staged/include/allegro.h" ] || die "the install has no include/allegro.h"
# The library's licence goes with every program that contains it.
cp "$src/docs/txt/license.txt" "$staged/allegro-license.txt" || die "no licence text in the source"
# The keyboard driver's DirectInput table, which the unit tests read to check that every key it
# knows has a number in the binding file.
mkdir -p "$staged/src/win" && cp "$src/src/win/wkeybd.c" "$staged/src/win/" ||
  die "no src/win/wkeybd.c in the source"
printf '%s\n' "$stamp" >"$staged/$stamp_name"

# --- Replace DEST with the new build ----------------------------------------------------------
mkdir -p "$(dirname "$dest")" || die "cannot make the parent folder of $dest"
rm -rf "$dest" || die "cannot remove the earlier build in $dest"
cp -a "$staged" "$dest" || die "cannot copy the build into $dest"
log "installed allegro $source_version for $arch Windows into $dest ($(du -sh "$dest" | cut -f1))"
