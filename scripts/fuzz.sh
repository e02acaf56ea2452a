#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own folder and runs each for a given
# time from the seed corpus kept in fuzz/corpus/<target>. What a run learns goes to the
# build folder, never into the repository; an input that crashes or hangs a target is
# kept in <build>/artifacts and fails the run. Prints executions and coverage per target.
#   fuzz.sh SECONDS [BUILD_DIR]
set -euo pipefail
seconds=${1:?usage: fuzz.sh SECONDS [BUILD_DIR]}
cd "$(dirname "$0")/.."
# Absolute, since a target may change its working folder.
build=$(realpath -m "${2:-build-fuzz}")
targets=(bmp_fuzz script_fuzz options_fuzz record_fuzz replay_fuzz sound_fuzz)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONKALO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/artifacts"
failed=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  log="$build/$t.log"
  # A single input that takes more than 10 s counts as a hang.
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "$PWD/fuzz/corpus/$t" \
      >"$log" 2>&1; then
    failed=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*/[0-9a-zA-Z]*' "$log" | tail -n1)
  echo "$t: ${runs:-?} executions in ${seconds} s; ${cov:-no coverage line}"
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target found a fault; see $build/*.log and $build/artifacts" >&2
  exit 1
fi
