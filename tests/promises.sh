#!/bin/bash
# Every promise of docs/promises.md is named by a test ("[P12 P17]" in its title or a comment) and
# has the break that made that test fail; tests name only promises listed there. Usage: promises.sh SOURCE
set -eu -o pipefail
cd "$1"
rows=$(grep -E '^\| P[0-9]+ \|' docs/promises.md | sed 's/\\|/:/g')
listed=$(cut -d'|' -f2 <<<"$rows" | tr -d ' ' | sort)
named=$(grep -rhoE '\[P[0-9]+( P[0-9]+)*\]' tests .ci/run | grep -oE 'P[0-9]+' | sort -u)
problems=$(comm -23 <(echo "$listed") <(echo "$named") | sed 's/$/ untested/'
  comm -13 <(echo "$listed") <(echo "$named") | sed 's/$/ unknown/'
  awk -F'|' '$6 !~ /[^ ]/ {print $2 "without its break"}' <<<"$rows")
[ -z "$problems" ] || { echo "promises: $problems" | tr '\n' ';' >&2; exit 1; }
echo "promises: each of the $(wc -l <<<"$listed") is named by a test and has its break"
