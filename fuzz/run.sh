#!/bin/sh
# Runs the fuzz target for a bounded time on a scratch copy of the committed seeds (which stay
# as they are), then prints its figures. Usage: fuzz/run.sh BUILD_DIR SECONDS
set -eu

build=$1
seconds=$2
here=$(dirname "$0")
corpus="$build/corpus"
artifacts="$build/artifacts"
log="$build/fuzz.log"

rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
cp "$here"/corpus/* "$corpus"/
seeds=$(ls "$corpus" | wc -l)

# tee would hide the fuzzer's exit status, so it goes through a file.
{
  status=0
  "$build/file_check_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -dict="$here/file_check.dict" -artifact_prefix="$artifacts/" \
    "$corpus" 2>&1 || status=$?
  echo "$status" >"$build/fuzz.status"
} | tee "$log"
status=$(cat "$build/fuzz.status")

figure() { sed -n "s/^stat::$1: *//p" "$log"; }
done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
field() { echo "$done_line" | sed -n "s/.* $1: \([^ ]*\).*/\1/p"; }
echo
echo "make fuzz: $(figure number_of_executed_units) inputs in ${seconds} s" \
  "($(figure average_exec_per_sec)/s), coverage $(field cov) edges and $(field ft) features," \
  "corpus $(field corp) (inputs/bytes) grown from $seeds seeds in $corpus," \
  "peak memory $(figure peak_rss_mb) MB"
if [ "$status" -ne 0 ]; then
  echo "make fuzz: the fuzzer stopped with status $status; the input is in $artifacts/" >&2
fi
exit "$status"
