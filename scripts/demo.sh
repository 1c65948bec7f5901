#!/usr/bin/env bash
# Main job. Until the installer lands this builds the tools and unpacks a small
# generated package with quorvi-unpack under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
arch=$(cat third_party/test-arch)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null
cmake --build build -j 2 --target quorvi-unpack
out=$(mktemp -d)
python3 - "$out/pkg.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("QuorviPhoneAx/Quorvi.exe", b"MZ" + b"\0" * 100)
    z.writestr("QuorviPhoneAx/data/readme.txt", "Quorvi\n" * 100)
PY
build/wine-run build/bin/quorvi-unpack.exe "Z:$out/pkg.zip" "Z:$out/install/"
find "$out/install" -type f
