#!/usr/bin/env bash
# Measures the release program's start-up on an X server of its own with a window manager:
#   bash bench/StartUp/run_startup_bench.sh [runs]
# (after bash scripts/build.sh release). Prints each run, then the median and the peak.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build/release
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
until [ -s "$work/display" ]; do sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.05; done

"$build/bench/StartUp/startup_bench" "$build/App/QLNUpdateProgram" "${1:-10}"
