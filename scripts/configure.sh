#!/usr/bin/env bash
# Installs what is missing and configures the build folder (default build/) for
# the architecture this machine can run, with every server on loopback.
# Prints the build folder's name.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh >&2
arch=$(cat third_party/test-arch)
build=${QUORVI_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" $(scripts/loopback-settings.sh) >/dev/null
echo "$build"
