#!/usr/bin/env bash
# Configures and builds one variant into build/<variant>, all of it or only the targets named:
#   bash scripts/build.sh <variant> [target...]
#   release  the program, tests and benchmarks
#   asan     tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan     tests under ThreadSanitizer
#   fuzz     the libFuzzer targets (clang, with ASan and UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}
shift $(($# > 0 ? 1 : 0))
jobs=${JOBS:-$(nproc)}

args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "$variant" in
  release) args+=(-DCMAKE_BUILD_TYPE=Release -DUPDATER_BENCHMARKS=ON) ;;
  asan) args+=(-DUPDATER_SANITIZE=address,undefined -DUPDATER_BENCHMARKS=OFF) ;;
  tsan) args+=(-DUPDATER_SANITIZE=thread -DUPDATER_BENCHMARKS=OFF) ;;
  fuzz)
    args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DUPDATER_FUZZERS=ON
      -DUPDATER_SANITIZE=address,undefined -DUPDATER_TESTS=OFF -DUPDATER_BENCHMARKS=OFF) ;;
  *) echo "unknown variant: $variant" >&2; exit 2 ;;
esac

cmake -S . -B "build/$variant" "${args[@]}" >/dev/null
cmake --build "build/$variant" -j "$jobs" ${1:+--target "$@"}
