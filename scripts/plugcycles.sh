#!/usr/bin/env bash
# The long unplug/plug run: the scanner goes away and comes back 200 times
# while the program runs, under both ANSI code pages; the engine calls must
# stay exact and the memory flat. Each cycle waits for two ticks of the
# 3-second device watch, so 200 cycles take about 20 minutes a code page.
#
#   bash scripts/plugcycles.sh [build-folder]        (default: build)
#
# NORZA_PLUG_CYCLES changes the count (default 200); NORZA_CODEPAGES="936"
# runs one code page only.
set -euo pipefail
cd "$(dirname "$0")/.."
NORZA_PLUG_CYCLES="${NORZA_PLUG_CYCLES:-200}" exec bash scripts/longrun.sh plugcycles "${1:-build}" \
  tests/e2e/test_tray.py DeviceWatch.test_unplug_plug_cycles_keep_counts_exact_and_memory_flat
