#!/usr/bin/env bash
# Fuzzing campaign: builds the fuzz preset and runs every libFuzzer target for
# SECONDS each (default 600), one after another, each from a scratch copy of
# its committed corpus, then prints one table row per target.
#
#   scripts/fuzz.sh [SECONDS] [-merge=1] [TARGET...]
#
# -merge=1   afterwards fold the inputs that reach code the committed corpus
#            does not back into it (only new edges count, not new hit counts,
#            so few files are added; each at most VELMORA_FUZZ_MERGE_MAX_LEN
#            bytes, default 16384), so the ordinary test run replays them.
# TARGET     run only these targets (names as in the table).
#
# Reproducers and logs are kept in build-fuzz/fuzz-runs/<time>/<target>/.
# VELMORA_FUZZ_BUILD_DIR builds and keeps them elsewhere instead.
# The exit status is 1 when any target crashed, leaked or timed out.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
merge=0
only=()
for arg in "$@"; do
  case "$arg" in
    -merge=1) merge=1 ;;
    -merge=0) merge=0 ;;
    -h | --help)
      sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*)
      echo "fuzz.sh: unknown option $arg" >&2
      exit 2
      ;;
    *)
      if [[ "$arg" =~ ^[0-9]+$ ]]; then
        if [ "$arg" -eq 0 ]; then
          echo "fuzz.sh: SECONDS must be at least 1" >&2
          exit 2
        fi
        seconds=$arg
      else
        only+=("$arg")
      fi
      ;;
  esac
done

# Seconds one input may take before it counts as a hang.
input_timeout=5
merge_max_len=${VELMORA_FUZZ_MERGE_MAX_LEN:-16384}

bash scripts/setup-debian.sh

# VELMORA_FUZZ_BUILD_DIR puts the build elsewhere (e.g. a second campaign).
build_dir=${VELMORA_FUZZ_BUILD_DIR:-build-fuzz}
configure=(cmake --preset fuzz -B "$build_dir")
if command -v ccache >/dev/null 2>&1; then
  configure+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "=== configure and build the fuzz preset"
"${configure[@]}" >/dev/null
build_targets=(velmora_fuzzers)
if [ ${#only[@]} -gt 0 ]; then
  build_targets=("${only[@]/%/_fuzzer}")
fi
cmake --build "$build_dir" --target "${build_targets[@]}"

manifest=$build_dir/fuzz-targets.tsv
if [ ! -s "$manifest" ]; then
  echo "fuzz.sh: $manifest lists no targets" >&2
  exit 1
fi

runs_dir="$build_dir/fuzz-runs/$(date -u +%Y%m%d-%H%M%S)"
mkdir -p "$runs_dir"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Sanitizer reports stop the run; leaks are checked after every input.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# Pulls the figures out of one libFuzzer log: executions, coverage points and
# features after loading the corpus and at the end.
log_figures() {
  awk '
    /INITED/ && !inited { inited = 1; if (match($0, /cov: [0-9]+ ft: [0-9]+/)) { split(substr($0, RSTART, RLENGTH), a, " "); scov = a[2]; sft = a[4] } }
    / cov: [0-9]+ ft: [0-9]+/ { match($0, /cov: [0-9]+ ft: [0-9]+/); split(substr($0, RSTART, RLENGTH), a, " "); ecov = a[2]; eft = a[4] }
    /^stat::number_of_executed_units:/ { execs = $2 }
    /^Done [0-9]+ runs/ { if (execs == "") execs = $2 }
    END {
      if (scov == "") { scov = "?"; sft = "?" }
      if (ecov == "") { ecov = scov; eft = sft }
      if (execs == "") execs = "?"
      print execs, scov, sft, ecov, eft
    }' "$1"
}

human_count() {
  awk -v n="$1" 'BEGIN {
    if (n !~ /^[0-9]+$/) print n
    else if (n >= 1e6) printf "%.1f M\n", n / 1e6
    else if (n >= 1e4) printf "%.0f k\n", n / 1e3
    else print n }'
}

rows=()
status=0
while IFS=$'\t' read -r name binary corpus; do
  [ -n "$name" ] || continue
  if [ ${#only[@]} -gt 0 ]; then
    wanted=0
    for o in "${only[@]}"; do [ "$o" = "$name" ] && wanted=1; done
    [ $wanted -eq 1 ] || continue
  fi
  out="$runs_dir/$name"
  mkdir -p "$out"
  work="$scratch/$name"
  mkdir -p "$work"
  if [ -d "$corpus" ]; then
    cp -R "$corpus/." "$work/"
  fi
  echo "=== $name: ${seconds} s from $(find "$work" -type f | wc -l) corpus files"
  start=$(date +%s)
  set +e
  "$binary" "$work" -max_total_time="$seconds" -timeout="$input_timeout" -print_final_stats=1 \
    -artifact_prefix="$out/" >"$out/fuzz.log" 2>&1
  code=$?
  set -e
  took=$(( $(date +%s) - start ))
  read -r execs scov sft ecov eft < <(log_figures "$out/fuzz.log")
  crashes=$(find "$out" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'oom-*' \) | wc -l)
  leaks=$(find "$out" -maxdepth 1 -type f -name 'leak-*' | wc -l)
  timeouts=$(find "$out" -maxdepth 1 -type f -name 'timeout-*' | wc -l)
  reproducers=$(find "$out" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'oom-*' -o -name 'leak-*' \
    -o -name 'timeout-*' \) | sort | paste -sd ' ' -)
  if [ $code -ne 0 ] && [ -z "$reproducers" ]; then
    # Stopped without an input to blame (e.g. a failure at start-up).
    crashes=$((crashes + 1))
    reproducers="(none; see $out/fuzz.log)"
  fi
  if [ $((crashes + leaks + timeouts)) -gt 0 ]; then
    status=1
    echo "    found something: $reproducers"
  fi
  rows+=("| $name | $(human_count "$execs") | $scov / $sft | $ecov / $eft | $crashes | $leaks | $timeouts | ${took} s | ${reproducers:--} |")

  if [ $merge -eq 1 ] && [ -d "$corpus" ]; then
    before=$(find "$corpus" -type f | wc -l)
    "$binary" -merge=1 -use_counters=0 -timeout="$input_timeout" -max_len="$merge_max_len" "$corpus" "$work" \
      >"$out/merge.log" 2>&1 || echo "    merge failed: see $out/merge.log"
    after=$(find "$corpus" -type f | wc -l)
    echo "    merged $((after - before)) new inputs into $corpus ($(du -sh "$corpus" | cut -f1))"
  fi
  rm -rf "$work"
done <"$manifest"

if [ ${#rows[@]} -eq 0 ]; then
  echo "fuzz.sh: no target matched" >&2
  exit 2
fi

{
  echo "Fuzzing $(date -u +%Y-%m-%d), ${seconds} s per target, per-input time-out ${input_timeout} s"
  echo
  echo "| target | executions | coverage at start (points / features) | coverage at end | crashes | leaks | time-outs | time | reproducer |"
  echo "|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} | tee "$runs_dir/summary.md"
exit $status
