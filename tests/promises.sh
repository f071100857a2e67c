#!/bin/bash
# Every promise of docs/promises.md is named by a test ("[P12 P17]") and has the break that made
# that test fail; tests name only promises listed there. Usage: promises.sh SOURCE
set -eu -o pipefail
rows=$(grep -E '^\| P[0-9]+ \|' "$1/docs/promises.md" | sed 's/\\|/:/g')
listed=$(cut -d'|' -f2 <<<"$rows" | tr -d ' ' | sort)
named=$(grep -rhoE '\[P[0-9]+( P[0-9]+)*\]' "$1/tests" "$1/.ci/run" | grep -oE 'P[0-9]+' | sort -u)
problems=$(comm -23 <(echo "$listed") <(echo "$named") | sed 's/$/ untested/'
  comm -13 <(echo "$listed") <(echo "$named") | sed 's/$/ unknown/'
  awk -F'|' '$5 !~ /[^ ]/ {print $2 "without its break"}' <<<"$rows")
[ -z "$problems" ] || { echo "promises: $problems" | tr '\n' ';' >&2; exit 1; }
echo "promises: each of the $(wc -l <<<"$listed") is named by a test and has its break"
