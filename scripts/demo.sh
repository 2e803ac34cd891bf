#!/usr/bin/env bash
# The main job: builds stagewell.exe, the 32-bit file that ships, and runs it
# under Wine against the service double with a sample installation record,
# twice (accepted, then duplicate). Pictures go to docs/ (or the folder given as
# the first argument); STAGEWELL_DEMO_ALL=1 adds the fault, no-reply and
# certificate boxes. The service double listens where the exe is built to send:
# STAGEWELL_SERVICE_HOST, when set, overrides the preset's address.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The box driver is the 64-bit build's: it starts the 32-bit exe just the same.
cmake --preset mingw-x64 >/dev/null
cmake --build --preset mingw-x64 -j2 --target box_driver >/dev/null
cmake --preset mingw-x86 ${STAGEWELL_SERVICE_HOST:+-DSTAGEWELL_SERVICE_HOST=$STAGEWELL_SERVICE_HOST} >/dev/null
cmake --build --preset mingw-x86 -j2 --target stagewell ${STAGEWELL_DEMO_ALL:+stagewell_https} >/dev/null
export STAGEWELL_BOX_DRIVER=build/mingw-x64/tests/e2e/box_driver.exe
export PYTHONPATH=$PWD/tools/harness
all=()
if [[ -n ${STAGEWELL_DEMO_ALL:-} ]]; then
  # The certificate box comes from the Wine suite's HTTPS exe, on its loopback port.
  https_port=$(sed -n 's/^STAGEWELL_E2E_HTTPS_PORT:[A-Z]*=//p' build/mingw-x86/CMakeCache.txt)
  all=(--all-outcomes --https-exe build/mingw-x86/tests/e2e/app/stagewell_https.exe
    --https-host "https://127.0.0.1:$https_port")
fi
/usr/bin/python3 tools/demo/demo.py --build build/mingw-x86 --exe build/mingw-x86/src/app/stagewell.exe \
  --work build/demo --pictures "${1:-docs}" "${all[@]}"
