#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the Windows test build and
# the native core build, runs ctest (labels core, unit, integration, e2e), and
# builds the 32-bit product when the tests had to use the 64-bit build.
# Extra arguments go to ctest (e.g. -L unit).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=$(scripts/configure.sh)
cmake --build "$build" -j 2
if [ "$(cat third_party/test-arch)" != i686 ]; then
  # this machine cannot run 32-bit code; the 32-bit product must still build
  cmake -S . -B "$build/i686" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DQUORVI_PRODUCT_ONLY=ON >/dev/null
  cmake --build "$build/i686" -j 2
fi
ctest --test-dir "$build" --output-on-failure -j 2 "$@"
