#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts it on this machine's display.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup-debian.sh"
bash "$top/scripts/build.sh"
exec "${BUILD_DIR:-$top/build}/app/telviq-utility"
