#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts it on this machine's display.
#
#   scripts/run.sh          the utility, on this machine's network
#   scripts/run.sh demo     the utility against virtual cameras in private network namespaces
#                           (as root; see tools/demo.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
case ${1:-} in
"") ;;
demo) ;;
*)
    echo "usage: $0 [demo]" >&2
    exit 2
    ;;
esac
bash "$top/scripts/setup-debian.sh"
bash "$top/scripts/build.sh"
if [ "${1:-}" = demo ]; then
    export TELVIQ_UTILITY=$build/app/telviq-utility
    export VIRTUAL_CAMERAS=$build/tools/virtual-cameras/telviq-virtual-cameras
    export DEMO_CAMERAS=$top/tools/virtual-cameras/demo-cameras.conf
    exec bash "$top/tools/demo.sh"
fi
exec "$build/app/telviq-utility"
