#!/usr/bin/env bash
# make bench: the real program on virtual displays, started and focused with the on-screen
# tests' own steps (tests/screen/lib.bash, screen_helper), played by bench_watch, which polls the
# screen about every millisecond: runs on a 640x480 display, where the window is the picture
# itself (x1), in turns with as many on a 3840x2160 one, where it is magnified 4 times (x4); then
# the check of a file at the size cap.
# Usage: bench/bench.bash BUILD_DIR [runs]; BRUMO_SETUP may name another build of the program.
# BRUMO_SETUP_BEFORE may name an earlier build, whose idle CPU is measured at x1 just before each
# x1 run and set beside it. One way to make it, from this checkout (REV: the commit to compare):
# git worktree add /tmp/before REV && cmake -S /tmp/before -B /tmp/before/build -DBRUMO_TESTS=OFF && cmake --build /tmp/before/build --target brumo-setup
set -euo pipefail
# The program keeps the caller's locale, which its keyboard follows: only awk and sort get C's.
BUILD=$(realpath "${1:?usage: bench.bash BUILD_DIR [runs]}") RUNS=${2:-5}
[[ $RUNS =~ ^([1-9][0-9]?|100)$ ]] || { echo "bench.bash: runs: 1 to 100, not $RUNS" >&2 && exit 2; }
export BRUMO_SETUP=${BRUMO_SETUP:-$BUILD/brumo-setup} SCREEN_HELPER=$BUILD/tests/screen_helper
BEFORE=${BRUMO_SETUP_BEFORE:-}
[[ -z $BEFORE || -x $BEFORE ]] || { echo "bench.bash: BRUMO_SETUP_BEFORE: no program at $BEFORE" >&2 && exit 2; }
WATCH=$BUILD/bench/bench_watch KEYS=(Up Down Left Right a s d) NAMES=(ARRIBA ABAJO IZQUIERDA DERECHA A S D)
FACTORS=(1 4) SIZES=(640x480 3840x2160) # the display of each factor, where the program picks it

bats_require_minimum_version() { :; }
# shellcheck source=SCRIPTDIR/../tests/screen/lib.bash
source "$(dirname "$0")/../tests/screen/lib.bash"
BATS_FILE_TMPDIR=$(mktemp -d /tmp/brumo-bench.XXXXXX)
DATA=$BATS_FILE_TMPDIR/data
# Each factor's display (lib.bash's files in a folder of its own), screens and figures; ended, the
# displays are waited for, so that none outlives the bench.
end_displays() {
  local at xvfb
  for at in x1 x4; do
    [[ -s $BATS_FILE_TMPDIR/$at/xvfb.pid ]] || continue
    xvfb=$(<"$BATS_FILE_TMPDIR/$at/xvfb.pid") && BATS_FILE_TMPDIR=$BATS_FILE_TMPDIR/$at stop_display
    wait "$xvfb" 2>/dev/null || true
    rm -f "$BATS_FILE_TMPDIR/$at/xvfb.pid"
  done
}
finish() { end_program; end_displays; rm -rf "$BATS_FILE_TMPDIR"; }
trap finish EXIT && trap 'exit 130' INT TERM
mkdir -p "$DATA"/{x1,x4,before} "$BATS_FILE_TMPDIR"/{x1,x4}/screens || fail_with "no directories in $BATS_FILE_TMPDIR"
at_factor() { # the index of a factor in FACTORS: its display, screens and figures from now on
  K=${FACTORS[$1]} AT=x${FACTORS[$1]} SCREENS=$BATS_FILE_TMPDIR/x${FACTORS[$1]}/screens
  export DISPLAY=${DISPLAYS[$1]:-}
}

# lib.bash's screens, rendered at the factor for the watcher rather than compared with xwd.
expect_screen() { printf '%s\n' "$@" | "$SCREEN_HELPER" render "$K" >"$SCREENS/$SHOT.rgb" || fail_with "render failed"; }
render_screens() {
  SHOT=menu expect_menu
  for ((i = 0; i <= ${#KEYS[@]}; i++)); do SHOT=capture$i expect_capture "${NAMES[@]:0:i}"; done
}

add() { echo "$2" >>"$DATA/$AT/$1" || fail_with "cannot write $DATA/$AT/$1"; } # figure value, at AT
calc() { LC_ALL=C awk "BEGIN { printf \"%.${2:-3}f\", ($1) }" || fail_with "awk failed on $1"; } # expression [decimals]
warn() { echo "brumo-bench: warning, run $RUN at $AT: $1" >&2 && echo "$RUN $AT" >>"$DATA/warnings"; }

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
  mapfile -t times < <("$WATCH" -f "$K" -w "$WINDOW" "${steps[@]}" -k Escape -p "$PROGRAM" || echo failed)
  [[ ${times[-1]} != failed && ${#times[@]} == $((2 * i + 6)) ]] ||
    fail_with "run $RUN at $AT: bench_watch gave up: ${times[*]}; stderr: $(<"$T/err")"
  for j in 0 $((i + 2)); do
    add hotkey_to_prompt_ms "${times[j]% *}"
    for ((i = 1; i <= ${#KEYS[@]}; i++)); do add key_to_name_ms "${times[j + i]% *}"; done
    add close_to_menu_ms "${times[j + i]% *}"
  done
  add esc_to_exit_ms "${times[-2]% *}"
  add peak_rss_mb "$(calc "${times[-2]#* } / 1024")"
  add polls "${times[-1]}"
}

# The run time of all the program's threads in ns, which the scheduler counts exactly (utime and
# stime come in 10 ms ticks, a fifth of a point of a core over 5 s).
cpu_ns() { cat "/proc/$PROGRAM"/task/*/schedstat | awk '{ ns += $1 } END { printf "%.0f\n", ns }' || fail_with "no CPU time of $PROGRAM"; }
idle_cpu() { # the program's CPU over 5 s in the menu, focused
  local ns from now
  ns=$(cpu_ns) from=${EPOCHREALTIME/[.,]/}
  sleep 5
  now=$(cpu_ns)
  ns=$((now - ns))
  add idle_cpu_percent "$(calc "100 * $ns / (${EPOCHREALTIME/[.,]/} - $from) / 1e3")"
}
ended() { # [players]: the program's exit after ESC, and the players' sections in the file
  poll 5 test -s "$T/status" || fail_with "run $RUN at $AT: no exit status"
  PROGRAM=
  [[ $(<"$T/status") == 0 ]] || warn "exit status $(<"$T/status")"
  (($# == 0)) || [[ $(grep -c '^\[jugador[01]\]$' "$GAME/brumo.ini") == "$1" ]] ||
    warn "brumo.ini lacks a player's section:"$'\n'"$(cat "$GAME/brumo.ini")"
}
one_run() {
  T=$BATS_FILE_TMPDIR/run$RUN$AT GAME=$BATS_FILE_TMPDIR/run$RUN$AT/game
  mkdir "$T" || fail_with "no directory $T"
  # The watcher, ready before the program starts, reads where its window appears.
  "$WATCH" -f "$K" -s "$T/ready" "$SCREENS/menu.rgb" >"$T/menu" 2>&1 &
  local watcher=$!
  wait_for 5 test -e "$T/ready"
  # The time of the exec itself: lib.bash's subshells before it take several ms.
  RUN_WITH=(bash -c 'echo "${EPOCHREALTIME/[.,]/}" >"$0" && exec "$@"' "$T/exec")
  start_program
  wait "$watcher" || fail_with "run $RUN at $AT: no menu: $(cat "$T/menu" "$T/err")"
  { read -r shown _ && read -r polls; } <"$T/menu" || fail_with "run $RUN at $AT: no time from the watcher"
  add polls "$polls"
  add startup_ms "$(calc "$shown - $(<"$T/exec") / 1000")"
  focus_program
  idle_cpu
  play
  ended 2
}
# The earlier build: its menu, its idle CPU, ESC.
before_run() {
  local AT=before BRUMO_SETUP=$BEFORE RUN_WITH=()
  T=$BATS_FILE_TMPDIR/run${RUN}before GAME=$BATS_FILE_TMPDIR/run${RUN}before/game
  mkdir "$T" || fail_with "no directory $T"
  start_program
  "$WATCH" "$SCREENS/menu.rgb" >"$T/menu" 2>&1 || fail_with "run $RUN of $BEFORE: no menu: $(cat "$T/menu" "$T/err")"
  focus_program
  idle_cpu
  "$WATCH" -w "$WINDOW" -k Escape -p "$PROGRAM" >"$T/esc" 2>&1 || fail_with "run $RUN of $BEFORE: no end after ESC: $(cat "$T/esc")"
  ended
}

began=${EPOCHREALTIME/[.,]/} DISPLAYS=()
for ((f = 0; f < ${#FACTORS[@]}; f++)); do
  at_factor $f
  render_screens
  BATS_FILE_TMPDIR=$BATS_FILE_TMPDIR/$AT start_display "${SIZES[f]}"
  DISPLAYS[f]=$DISPLAY
done
# The factors' runs in turns (the earlier build's first), so that the machine's other work weighs
# on each alike.
for ((RUN = 1; RUN <= RUNS; RUN++)); do
  for ((f = 0; f < ${#FACTORS[@]}; f++)); do
    at_factor $f
    [[ -z $BEFORE || $K != 1 ]] || before_run
    one_run
  done
  echo "brumo-bench: run $RUN of $RUNS done" >&2
done
end_displays
total=$(calc "(${EPOCHREALTIME/[.,]/} - $began) / 1e6" 1)
"$BUILD/bench/check_at_cap" >"$DATA/check_at_cap_ms" || fail_with "check_at_cap failed"

# The report: a column per factor (and the earlier build's), medians with min and max; then the
# bars, each met or NOT MET; then all of it as one JSON line.
polled() { # at: the watcher's poll interval and read time over that factor's runs
  LC_ALL=C awk '{ reads += $1; read_ms += $2; intervals += $3; span += $4 } END {
    printf "%.2f %.2f\n", span / (intervals > 1 ? intervals : 1), read_ms / (reads > 1 ? reads : 1) }' "$DATA/$1/polls" ||
    fail_with "no poll figures at $1"
}
read -r poll1 read1 < <(polled x1) && read -r poll4 read4 < <(polled x4) || fail_with "no poll figures"
echo "brumo-bench: $RUNS runs of $BRUMO_SETUP at x1 (${SIZES[0]}, Xvfb ${DISPLAYS[0]}) and $RUNS at x4" \
  "(${SIZES[1]}, Xvfb ${DISPLAYS[1]}), in turns, in $total s"
echo "brumo-bench: screen polled every $poll1 ms at x1 (one read $read1 ms), $poll4 ms at x4 (one read $read4 ms):" \
  "times are good to about that"
[[ -z $BEFORE ]] || echo "brumo-bench: before: $BEFORE, its idle CPU at x1 in $RUNS runs, each just before one of this build"
before_json=null && [[ -z $BEFORE ]] || before_json="\"$BEFORE\""
printf '{"runs": %d, "program": "%s", "before": %s, "poll_ms": {"x1": %s, "x4": %s}' "$RUNS" "$BRUMO_SETUP" \
  "$before_json" "$poll1" "$poll4" >"$DATA/json" || fail_with "cannot write the JSON line"
stats() { # file: median min max samples, of the values in it
  LC_ALL=C sort -g "$1" | LC_ALL=C awk '{ v[NR] = $1 } END {
    if (!NR) exit 1
    printf "%.3f %.3f %.3f %d\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[1], v[NR], NR
  }' || fail_with "no figures in $1"
}
median() { local s; s=$(stats "$DATA/$1") && echo "${s%% *}"; } # at/key
LC_ALL=C awk -v before="${BEFORE:+before, at x1}" 'BEGIN {
  printf "%-57s %-22s %-22s %s\n", "median (min-max)", "at x1", "at x4", before }' || fail_with "awk failed"
figure() { # key label unit note: the line of the figure, and its part of the JSON line
  local at cells=()
  for at in x1 x4 before; do
    if [[ -s $DATA/$at/$1 ]]; then cells+=("$at $(stats "$DATA/$at/$1")"); fi
  done
  [[ $1 != check_at_cap_ms ]] || cells=("- $(stats "$DATA/$1")") # no display: one column, as at x1
  ((${#cells[@]})) || fail_with "no figures for $1"
  printf '%s\n' "${cells[@]}" | LC_ALL=C awk -v key="$1" -v label="$2" -v unit="$3" -v note="$4" -v json="$DATA/json" '{
      line = line sprintf("%-22s ", sprintf("%.2f (%.2f-%.2f)", $2, $3, $4))
      samples = samples (NR > 1 ? "/" : "") $5
      part = sprintf("{\"median\": %.2f, \"min\": %.2f, \"max\": %.2f, \"samples\": %d}", $2, $3, $4, $5)
      parts = parts ($1 == "-" ? part : sprintf("%s\"%s\": %s", NR > 1 ? ", " : "", $1, part))
    } END {
      for (i = NR; i < 3; i++) line = line sprintf("%-23s", "")
      printf "%-44s %-12s %s %s samples%s\n", label, unit, line, samples, note != "" ? "  [" note "]" : ""
      printf ", \"%s\": %s", key, key == "check_at_cap_ms" ? parts : "{" parts "}" >>json
    }' || fail_with "no figure $1"
}
figure startup_ms "start-up: exec to first full menu frame" ms ""
figure idle_cpu_percent "menu idle: CPU over 5 s" "% of a core" "all threads' run time"
figure hotkey_to_prompt_ms "hotkey to first prompt" ms "150 ms of it are the program's own pauses"
figure key_to_name_ms "key down to its name during a capture" ms ""
figure close_to_menu_ms "closing key to menu back" ms ""
figure esc_to_exit_ms "ESC to process ended, file written" ms ""
figure peak_rss_mb "peak resident memory (VmHWM before ESC)" MB "1 MB = 1024 kB"
figure check_at_cap_ms "check of a 64 KiB file, worst case" ms "no window; short keys or sections"
printf ', "bars": {' >>"$DATA/json" || fail_with "cannot write the JSON line"
bars=0
bar() { # name text at/key limit [at-most]: met when the median is under the limit (or at most it)
  local m
  m=$(median "$3")
  LC_ALL=C awk -v name="$1" -v text="$2" -v m="$m" -v limit="$4" -v at_most="${5:-}" -v first=$((bars++ == 0)) \
    -v json="$DATA/json" 'BEGIN {
      met = at_most ? m <= limit + 0 : m < limit + 0
      printf "bar: %s (%.2f): %s\n", text, limit, met ? "met" : "NOT MET"
      printf "%s\"%s\": {\"median\": %.2f, \"limit\": %.2f, \"met\": %s}", first ? "" : ", ", name, m, limit,
        met ? "true" : "false" >>json
    }' || fail_with "no bar $1"
}
# The limits drawn from other figures, each median on its own line: a missing one ends the run here.
idle1=$(median x1/idle_cpu_percent)
idle4_limit=$(calc "$idle1 * 1.1 > $idle1 + 0.2 ? $idle1 * 1.1 : $idle1 + 0.2")
key1=$(median x1/key_to_name_ms)
key4_limit=$(calc "$key1 + 5")
bar startup_ms_x1 "start-up at x1, median under 100 ms" x1/startup_ms 100
bar idle_cpu_percent_x1 "menu idle at x1, median under 4 % of a core" x1/idle_cpu_percent 4
bar idle_cpu_percent_x4 "menu idle at x4, median within 1.1 times x1's or 0.2 points of it, whichever is more" \
  x4/idle_cpu_percent "$idle4_limit" at-most
if [[ -n $BEFORE ]]; then
  idle_before=$(median before/idle_cpu_percent)
  before_limit=$(calc "$idle_before + 0.2")
  bar idle_cpu_percent_x1_before "menu idle at x1, median no higher than before's + 0.2 points" \
    x1/idle_cpu_percent "$before_limit" at-most
fi
bar key_to_name_ms_x1 "key down to its name at x1, median under 30 ms" x1/key_to_name_ms 30
bar key_to_name_ms_x4 "key down to its name at x4, median within 5 ms of x1's" x4/key_to_name_ms "$key4_limit" at-most
bar close_to_menu_ms_x1 "closing key to menu back at x1, median under 40 ms" x1/close_to_menu_ms 40
bar esc_to_exit_ms_x1 "ESC to process ended at x1, median under 100 ms" x1/esc_to_exit_ms 100
bar peak_rss_mb_x1 "peak resident memory at x1, median under 10 MB" x1/peak_rss_mb 10
bar check_at_cap_ms "check of a 64 KiB file, median under 100 ms" check_at_cap_ms 100
[[ ! -s $DATA/warnings ]] || echo "$(wc -l <"$DATA/warnings") warning(s) above: the program misbehaved"
echo "$(<"$DATA/json")}}"
