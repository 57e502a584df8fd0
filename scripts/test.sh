#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds every variant and runs every test:
# the plain build, AddressSanitizer with UndefinedBehaviorSanitizer, ThreadSanitizer for
# the threaded tests, and each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

fuzz_seconds=${FUZZ_SECONDS:-30}
ctest_args=(--output-on-failure --timeout 600 -j "$(nproc)")

run_variant() {
  local variant=$1; shift
  echo "=== $variant: build"
  bash scripts/build.sh "$variant"
  echo "=== $variant: test"
  (cd "build/$variant" && ctest "${ctest_args[@]}" "$@")
}

export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"

run_variant release
run_variant asan -LE no-asan
run_variant tsan -L threaded

echo "=== fuzz"
bash scripts/build.sh fuzz
for target in build/fuzz/fuzz/*/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  seeds=fuzz/$(basename "$(dirname "$target")")/corpus
  echo "--- $(basename "$target") for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | tail -n 3
  rm -rf "$corpus"
done
echo "all variants passed"
