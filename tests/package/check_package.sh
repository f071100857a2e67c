#!/bin/bash
# What `cmake --install` and the Debian package ship, and the package's control fields. [P116 P122 P123 P124 P125]
# Usage: check_package.sh BUILD_DIR SOURCE_DIR (BUILD_DIR already built); lintian runs in CI.
set -eu -o pipefail
build=$1 source=$2 work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failed() { echo "FAIL: $*" >&2; exit 1; }
layout() { # root: the program, the manual, the README and the copyright file
  test -x "$1/bin/brumo-setup" || failed "$1: no bin/brumo-setup"
  gzip -dc "$1/share/man/man6/brumo-setup.6.gz" | cmp -s - "$source/docs/brumo-setup.6" || failed "$1: manual"
  cmp -s "$1/share/doc/brumo-setup/README.md" "$source/README.md" || failed "$1: README.md"
  cmp -s "$1/share/doc/brumo-setup/copyright" "$source/packaging/copyright" || failed "$1: copyright"
}
cmake --install "$build" --prefix "$work/stage" >/dev/null && layout "$work/stage" || failed "cmake --install"
cpack -G DEB -B "$work/cpack" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(echo "$work"/cpack/*.deb)
field() { dpkg-deb -f "$deb" "$1"; }
[[ ${deb##*/} == "brumo-setup_$(field Version)_$(field Architecture).deb" ]] || failed "name ${deb##*/}"
[[ $(field Version) == *-* && $(field Section) == utils ]] || failed "version or section"
[[ $(field Recommends) == *x11-utils*xfonts-base* ]] || failed "Recommends: $(field Recommends)"
[[ $(field Depends) =~ (^|, )liballegro4\.4[\ ,] && $(field Depends) != *-dev* ]] || failed "Depends: $(field Depends)"
dpkg-deb -x "$deb" "$work/root" && layout "$work/root/usr" || failed "dpkg-deb -x"
[[ $(gzip -dc "$work/root/usr/share/doc/brumo-setup/changelog.Debian.gz" | sed -n 1p) == "brumo-setup ($(field Version)) "* ]] ||
  failed "changelog's latest entry"
echo "check_package: the install tree and the package hold what they should"
