#!/usr/bin/env bash
# Download benchmark (not a test): quorvi-fetch.exe under Wine, curl and
# aria2c -x4 -s4 fetch the same files from a private nginx on loopback, and
# the median wall times are printed side by side.
#   bench/download_bench.sh [BUILD_DIR] [--runs N]
# (a) plain loopback, 200 MB; (b) every connection limited by nginx
# limit_rate, 120 MB, where four connections matter.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
[ $# -gt 0 ] && shift
exec python3 "$top/bench/download_bench.py" --build "$build" "$@"
