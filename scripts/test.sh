#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup-debian.sh"
bash "$top/scripts/build.sh" -DTELVIQ_WERROR=ON
cd "${BUILD_DIR:-$top/build}"
ctest --output-on-failure --timeout 600
