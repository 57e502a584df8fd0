#!/usr/bin/env bash
# Sets up the machine, builds the program alone (no tests, benchmarks or fuzz targets) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh release QLNUpdateProgram
exec build/release/App/QLNUpdateProgram "$@"
