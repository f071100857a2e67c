#!/usr/bin/env bash
# make bench: the real program on a virtual display, started and focused with the on-screen
# tests' own steps (tests/screen/lib.bash, screen_helper), played by bench_watch, which polls the
# screen about every millisecond; then the check of a file at the size cap.
# Usage: bench/bench.bash BUILD_DIR [runs]; BRUMO_SETUP may name another build of the program.
set -euo pipefail
# The program keeps the caller's locale, which its keyboard follows: only awk and sort get C's.
BUILD=$(realpath "${1:?usage: bench.bash BUILD_DIR [runs]}") RUNS=${2:-5}
[[ $RUNS =~ ^([1-9][0-9]?|100)$ ]] || { echo "bench.bash: runs: 1 to 100, not $RUNS" >&2 && exit 2; }
export BRUMO_SETUP=${BRUMO_SETUP:-$BUILD/brumo-setup} SCREEN_HELPER=$BUILD/tests/screen_helper
WATCH=$BUILD/bench/bench_watch KEYS=(Up Down Left Right a s d) NAMES=(ARRIBA ABAJO IZQUIERDA DERECHA A S D)

bats_require_minimum_version() { :; }
# shellcheck source=SCRIPTDIR/../tests/screen/lib.bash
source "$(dirname "$0")/../tests/screen/lib.bash"
BATS_FILE_TMPDIR=$(mktemp -d /tmp/brumo-bench.XXXXXX)
DATA=$BATS_FILE_TMPDIR/data SCREENS=$BATS_FILE_TMPDIR/screens
finish() { end_program; stop_display; rm -rf "$BATS_FILE_TMPDIR"; }
trap finish EXIT && trap 'exit 130' INT TERM
mkdir "$DATA" "$SCREENS"

# lib.bash's screens, rendered once for the watcher rather than compared with xwd.
expect_screen() { printf '%s\n' "$@" | "$SCREEN_HELPER" render >"$SCREENS/$SHOT.rgb" || fail_with "render failed"; }
SHOT=menu expect_menu
for ((i = 0; i <= ${#KEYS[@]}; i++)); do SHOT=capture$i expect_capture "${NAMES[@]:0:i}"; done

add() { echo "$2" >>"$DATA/$1" || fail_with "cannot write $DATA/$1"; } # figure value
calc() { LC_ALL=C awk "BEGIN { printf \"%.3f\", $1 }" || fail_with "awk failed on $1"; }
warn() { echo "brumo-bench: warning, run $RUN: $1" >&2 && add warnings "run $RUN"; }

# Both captures and ESC, played by the watcher, each key right after the screen before it: the
# hotkey, the keys, the closing key 200 ms after the list (past the program's pause and the save).
play() {
  local steps=() times hotkey i j
  for hotkey in 1 2; do
    steps+=(-k $hotkey "$SCREENS/capture0.rgb")
    for ((i = 0; i < ${#KEYS[@]}; i++)); do
      # Only the key's own row: the next prompt comes 50 ms later and may or may not be up yet.
      steps+=(-b "$SCREENS/capture$i.rgb" -k "${KEYS[i]}" -r $((10 + 10 * i)),10 "$SCREENS/capture$((i + 1)).rgb")
    done
    steps+=(-b "$SCREENS/capture$i.rgb" -z 200 -k space "$SCREENS/menu.rgb")
  done
  mapfile -t times < <("$WATCH" -w "$WINDOW" "${steps[@]}" -k Escape -p "$PROGRAM" || echo failed)
  [[ ${times[-1]} != failed && ${#times[@]} == $((2 * i + 6)) ]] ||
    fail_with "run $RUN: bench_watch gave up: ${times[*]}; stderr: $(<"$T/err")"
  for j in 0 $((i + 2)); do
    add hotkey_to_prompt_ms "${times[j]% *}"
    for ((i = 1; i <= ${#KEYS[@]}; i++)); do add key_to_name_ms "${times[j + i]% *}"; done
    add close_to_menu_ms "${times[j + i]% *}"
  done
  add esc_to_exit_ms "${times[-2]% *}"
  add peak_rss_mb "$(calc "${times[-2]#* } / 1024")"
  add polls "${times[-1]}"
}

cpu_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$PROGRAM/stat" || fail_with "no CPU time"; }
one_run() {
  T=$BATS_FILE_TMPDIR/run$RUN GAME=$BATS_FILE_TMPDIR/run$RUN/game
  mkdir "$T" || fail_with "no directory $T"
  # The watcher, ready before the program starts, reads where its window appears.
  "$WATCH" -s "$T/ready" "$SCREENS/menu.rgb" >"$T/menu" 2>&1 &
  local watcher=$! ticks from
  wait_for 5 test -e "$T/ready"
  # The time of the exec itself: lib.bash's subshells before it take several ms.
  RUN_WITH=(bash -c 'echo "${EPOCHREALTIME/[.,]/}" >"$0" && exec "$@"' "$T/exec")
  start_program
  wait "$watcher" || fail_with "run $RUN: no menu: $(cat "$T/menu" "$T/err")"
  { read -r shown _ && read -r polls; } <"$T/menu" || fail_with "run $RUN: no time from the watcher"
  add polls "$polls"
  add startup_ms "$(calc "$shown - $(<"$T/exec") / 1000")"
  focus_program
  if ((RUN <= 2)); then # two samples of 5 s tell the idle cost well enough
    ticks=$(cpu_ticks) from=${EPOCHREALTIME/[.,]/}
    sleep 5
    ticks=$(($(cpu_ticks) - ticks)) || fail_with "no CPU time of $PROGRAM"
    add idle_cpu_percent "$(calc "100 * $ticks / $(getconf CLK_TCK) / (${EPOCHREALTIME/[.,]/} - $from) * 1e6")"
  fi
  play
  poll 5 test -s "$T/status" || fail_with "run $RUN: no exit status"
  PROGRAM=
  [[ $(<"$T/status") == 0 ]] || warn "exit status $(<"$T/status")"
  [[ $(grep -c '^\[jugador[01]\]$' "$GAME/brumo.ini") == 2 ]] ||
    warn "brumo.ini lacks a player's section:"$'\n'"$(cat "$GAME/brumo.ini")"
}

began=${EPOCHREALTIME/[.,]/}
start_display
for ((RUN = 1; RUN <= RUNS; RUN++)); do
  one_run
  echo "brumo-bench: run $RUN of $RUNS done" >&2
done
total=$(calc "(${EPOCHREALTIME/[.,]/} - $began) / 1e6")
"$BUILD/bench/check_at_cap" >"$DATA/check_at_cap_ms" || fail_with "check_at_cap failed"
LC_ALL=C awk -v runs="$RUNS" -v program="$BRUMO_SETUP" -v display="$DISPLAY" -v total="$total" \
  -v json="$DATA/json" '{ reads += $1; read_ms += $2; intervals += $3; span += $4 } END {
    poll = span / (intervals > 1 ? intervals : 1)
    printf "brumo-bench: %d runs of %s on Xvfb %s in %.1f s; screen polled every %.2f ms " \
      "(one read %.2f ms): times are good to about that\n", runs, program, display, total, poll,
      read_ms / (reads > 1 ? reads : 1)
    printf "{\"runs\": %d, \"poll_ms\": %.2f", runs, poll >json
  }' "$DATA/polls" || fail_with "no poll figures"
figure() { # key label unit bar note: the figure's line, and its part of the JSON line
  LC_ALL=C sort -g "$DATA/$1" | LC_ALL=C awk -v key="$1" -v label="$2" -v unit="$3" -v bar="$4" -v note="$5" \
    -v json="$DATA/json" '{ v[NR] = $1 } END {
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%-44s median %7.2f %-2s (min %7.2f, max %7.2f; %2d samples)", label, m, unit, v[1], v[NR], NR
      if (bar != "") printf "  bar: median under %g %s, %s", bar, unit, m < bar + 0 ? "met" : "NOT MET"
      print (note != "" ? "  [" note "]" : "")
      printf ", \"%s\": {\"median\": %.2f, \"min\": %.2f, \"max\": %.2f, \"samples\": %d%s}", key, m,
        v[1], v[NR], NR, (bar != "" ? ", \"bar\": " sprintf("%g", bar) : "") >>json
    }' || fail_with "no figure $1"
}
figure startup_ms "start-up: exec to first full menu frame" ms 100 ""
figure idle_cpu_percent "menu idle: CPU over 5 s" "% of a core" 4 utime+stime
figure hotkey_to_prompt_ms "hotkey to first prompt" ms "" "150 ms of it are the program's own pauses"
figure key_to_name_ms "key down to its name during a capture" ms 30 ""
figure close_to_menu_ms "closing key to menu back" ms 40 ""
figure esc_to_exit_ms "ESC to process ended, file written" ms 100 ""
figure peak_rss_mb "peak resident memory (VmHWM before ESC)" MB 10 "1 MB = 1024 kB"
figure check_at_cap_ms "check of a 64 KiB file, worst case" ms 100 "short keys or sections"
[[ ! -s $DATA/warnings ]] || echo "$(wc -l <"$DATA/warnings") warning(s) above: the program misbehaved"
echo "$(<"$DATA/json")}"
