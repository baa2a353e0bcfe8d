#!/usr/bin/env bash
# The long unplug/plug run: the scanner goes away and comes back 200 times
# while the program runs, under both ANSI code pages, in a display and Wine
# prefix of its own; the engine calls must stay exact and the memory flat.
# Installs what is missing and builds first. Each cycle waits for two ticks of
# the 3-second device watch, so 200 cycles take about 20 minutes a code page.
#
#   bash scripts/plugcycles.sh [build-folder]        (default: build)
#
# NORZA_PLUG_CYCLES changes the count (default 200); NORZA_CODEPAGES="936"
# runs one code page only. The time of each code page is printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bash scripts/setup.sh
bash scripts/build.sh "$build"
build="$(cd "$build" && pwd)"

# Apart from build/e2e, so that a test run in the same build folder keeps its prefix.
state="$build/plugcycles/state.json"
mkdir -p "$build/plugcycles"
python3 tests/e2e/wineenv.py start "$state"
trap 'python3 tests/e2e/wineenv.py stop "$state"' EXIT

status=0
for cp in ${NORZA_CODEPAGES:-1252 936}; do
  echo "=== code page $cp, ${NORZA_PLUG_CYCLES:-200} cycles"
  start=$SECONDS
  NORZA_PLUG_CYCLES="${NORZA_PLUG_CYCLES:-200}" NORZA_BUILD_DIR="$build" NORZA_E2E_STATE="$state" \
    NORZA_CODEPAGE="$cp" PYTHONDONTWRITEBYTECODE=1 python3 tests/e2e/test_tray.py \
    DeviceWatch.test_unplug_plug_cycles_keep_counts_exact_and_memory_flat || status=1
  echo "=== code page $cp took $((SECONDS - start)) s"
done
exit $status
