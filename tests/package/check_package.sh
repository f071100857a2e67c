#!/bin/bash
# Checks what brumo-setup installs and ships: the files of `cmake --install` and the Debian
# package made by cpack, its control fields (Depends, Recommends, Section, Version) and its
# contents under /usr.
# Usage: check_package.sh BUILD_DIR SOURCE_DIR   (BUILD_DIR already built)
set -u

if [ $# -ne 2 ] || [ ! -f "$1/CPackConfig.cmake" ] || [ ! -d "$2" ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR (BUILD_DIR configured with cmake/packaging.cmake)" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

runtime_package=liballegro4.4
dev_package=liballegro4-dev

for tool in cmake cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/brumo-package.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
checks=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" || fail "$what"
}

not() { ! "$@"; }

# Whole package names of a Depends line: liballegro4.4 is not named by liballegro4.4-foo.
names_package() {  # names_package DEPENDS PACKAGE
  tr ',|' '\n\n' <<<"$1" | sed -E 's/^ *//; s/[ (:].*//' | grep -Fxq "$2"
}

# The manual page may be gzip'd or plain; either must hold the source text.
same_man_page() {  # same_man_page ROOT
  local page=$1/share/man/man6/brumo-setup.6
  if [ -f "$page.gz" ]; then
    gzip -dc "$page.gz" | cmp -s - "$source/docs/brumo-setup.6"
  elif [ -f "$page" ]; then
    cmp -s "$page" "$source/docs/brumo-setup.6"
  else
    return 1
  fi
}

# The Debian changelog, gzip'd, whose latest entry is for VERSION.
changelog_names() {  # changelog_names ROOT VERSION
  local top
  top=$(gzip -dc "$1/share/doc/brumo-setup/changelog.Debian.gz" 2>/dev/null | head -n 1)
  [[ $top == "brumo-setup ($2) "* ]]
}

check_layout() {  # check_layout ROOT LABEL
  local root=$1 label=$2
  check "$label: share/doc/brumo-setup/copyright missing or differs from packaging/copyright" \
    cmp -s "$root/share/doc/brumo-setup/copyright" "$source/packaging/copyright"
  check "$label: share/doc/brumo-setup/copyright is not machine-readable (no Format: line)" \
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/share/doc/brumo-setup/copyright"
  check "$label: bin/brumo-setup missing or not executable" test -x "$root/bin/brumo-setup"
  check "$label: share/man/man6/brumo-setup.6[.gz] missing or differs from docs/brumo-setup.6" \
    same_man_page "$root"
  check "$label: share/doc/brumo-setup/README.md missing or differs from README.md" \
    cmp -s "$root/share/doc/brumo-setup/README.md" "$source/README.md"
}

# (a) the install tree
if cmake --install "$build" --prefix "$work/stage" >"$work/install.log" 2>&1; then
  check_layout "$work/stage" "cmake --install"
else
  cat "$work/install.log" >&2
  fail "cmake --install $build failed"
fi

# (b) the Debian package, made outside the build tree
if cpack -G DEB -B "$work/cpack" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  debs=("$work"/cpack/*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made ${#debs[@]} .deb files, not one: ${debs[*]##*/}"
  else
    deb=${debs[0]}
    name=$(dpkg-deb -f "$deb" Package)
    version=$(dpkg-deb -f "$deb" Version)
    arch=$(dpkg-deb -f "$deb" Architecture)
    depends=$(dpkg-deb -f "$deb" Depends)
    recommends=$(dpkg-deb -f "$deb" Recommends)
    section=$(dpkg-deb -f "$deb" Section)
    check "package file is ${deb##*/}, not ${name}_${version}_${arch}.deb" \
      test "${deb##*/}" = "${name}_${version}_${arch}.deb"
    check "Package is '$name', not brumo-setup" test "$name" = brumo-setup
    check "Section is '$section', not utils (a program in /usr/bin)" test "$section" = utils
    check "Version '$version' has no Debian revision" test "${version%-*}" != "$version"
    for needed in x11-utils xfonts-base; do
      check "Recommends '$recommends' does not name $needed (the message box)" \
        names_package "$recommends" "$needed"
    done
    check "Depends '$depends' does not name $runtime_package" \
      names_package "$depends" "$runtime_package"
    check "Depends '$depends' names $dev_package" not names_package "$depends" "$dev_package"
    if dpkg-deb -x "$deb" "$work/root"; then
      check_layout "$work/root/usr" "package"
      check "package: changelog.Debian.gz missing or its latest entry is not for $version" \
        changelog_names "$work/root/usr" "$version"
    else
      fail "dpkg-deb -x ${deb##*/} failed"
    fi
  fi
else
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
fi

if [ "$failures" -ne 0 ]; then
  echo "check_package: $failures of $checks checks failed" >&2
  exit 1
fi
echo "check_package: all $checks checks passed"
