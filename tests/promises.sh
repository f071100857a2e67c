#!/bin/bash
# Every promise docs/promises.md numbers is named by a test that guards it and names the break
# that made that test fail; a test names only promises that are there. Usage: promises.sh SOURCE
set -eu -o pipefail
cd "$1"
rows=$(grep -E '^\| P[0-9]+ \|' docs/promises.md | sed 's/\\|/:/g')
listed=$(cut -d'|' -f2 <<<"$rows" | tr -d ' ' | sort)
unbroken=$(awk -F'|' '$6 !~ /[^ ]/ {printf "%s", $2}' <<<"$rows")
named=$(grep -rhoE '\[P[0-9]+( P[0-9]+)*\]' tests .ci/run | grep -oE 'P[0-9]+' | sort -u)
untested=$(comm -23 <(echo "$listed") <(echo "$named") | tr '\n' ' ')
unknown=$(comm -13 <(echo "$listed") <(echo "$named") | tr '\n' ' ')
[ -z "$untested$unknown$unbroken" ] || {
  echo "untested: ${untested:-none}; unknown: ${unknown:-none}; no break: ${unbroken:-none}" >&2
  exit 1
}
echo "promises: each of the $(wc -l <<<"$listed") is named by a test and has its break"
