#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ (libFuzzer, with AddressSanitizer, UBSan and
# coverage feedback in every library they call) and runs each for SECONDS, starting from its seed
# corpus in the repository (tests/<area>/fuzz/corpus/<target>/) and after every input that once
# failed (tests/<area>/fuzz/crashes/<target>/), which must all pass first. Prints executions and
# coverage per target; fails when any target finds a crash, a leak, a time-out or a sanitizer
# report. The input that failed is kept in build-fuzz/artifacts/<target>/ and the whole output in
# build-fuzz/fuzz-logs/<target>.log. What a run finds is kept in build-fuzz/fuzz-corpus/.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (default 30 seconds, every target)
# ORVANE_FUZZ_JOBS: targets run at once (default: the number of processors).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
build=$top/build-fuzz
jobs=${ORVANE_FUZZ_JOBS:-$(nproc)}

echo "== build: $build (fuzz targets)"
CC=clang CXX=clang++ cmake -G Ninja -S "$top" -B "$build" -DORVANE_FUZZ=ON -DORVANE_BUILD_UI=OFF \
  -DORVANE_BUILD_BENCH=OFF -DORVANE_BUILD_FUSE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" >/dev/null
cmake --build "$build" --target orvane_fuzz -j "$(nproc)"

# Every target has a seed corpus folder; its name is the target's.
declare -A seeds=()
while IFS= read -r dir; do
  seeds[$(basename "$dir")]=$dir
done < <(find "$top/tests" -path '*/fuzz/corpus/*' -mindepth 4 -maxdepth 4 -type d | sort)
if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(printf '%s\n' "${!seeds[@]}" | sort)
fi

logs=$build/fuzz-logs
mkdir -p "$logs"
run_target() {
  local name=$1
  local seed=${seeds[$name]:-}
  if [ -z "$seed" ] || [ ! -x "$build/bin/fuzz_$name" ]; then
    echo "fuzz: no target $name" >"$logs/$name.log"
    return 1
  fi
  local fuzz_dir
  fuzz_dir=$(dirname "$(dirname "$seed")")
  local corpus=$build/fuzz-corpus/$name artifacts=$build/artifacts/$name/
  mkdir -p "$corpus" "$artifacts"
  local inputs=("$corpus" "$seed")
  [ -d "$fuzz_dir/crashes/$name" ] && inputs+=("$fuzz_dir/crashes/$name")
  local extra=()
  [ -f "$fuzz_dir/$name.dict" ] && extra+=("-dict=$fuzz_dir/$name.dict")
  "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "${extra[@]}" "${inputs[@]}" \
    >"$logs/$name.log" 2>&1
}

echo "== fuzz: ${#targets[@]} targets, ${seconds} s each, $jobs at a time"
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  rm -f "$logs/$name.rc"
  (if run_target "$name"; then echo 0; else echo $?; fi >"$logs/$name.rc") &
done
wait

failed=0
printf '\n%-20s %12s %8s %8s %8s %10s  %s\n' target executions exec/s cov ft corpus result
declare -A status=()
for name in "${targets[@]}"; do
  log=$logs/$name.log
  status[$name]=FAILED
  [ "$(cat "$logs/$name.rc" 2>/dev/null)" = 0 ] && status[$name]=ok
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | grep 'cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  printf '%-20s %12s %8s %8s %8s %10s  %s\n' "$name" "${execs:--}" "${rate:--}" "${cov:--}" \
    "${ft:--}" "${corp:--}" "${status[$name]}"
  [ "${status[$name]}" = ok ] || failed=1
done
if [ "$failed" = 1 ]; then
  for name in "${targets[@]}"; do
    [ "${status[$name]}" = ok ] && continue
    echo
    echo "== fuzz_$name failed ($logs/$name.log); the input is in $build/artifacts/$name/:"
    grep -v -E '^#[0-9]+' "$logs/$name.log" | tail -40
  done
  exit 1
fi
