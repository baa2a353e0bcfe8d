#!/usr/bin/env bash
# The full robustness run: 10,000 random decodes, 1,000 random pairs of
# settings files, the engine's out-of-range answers and the log faults, under
# both ANSI code pages. Takes one and a half to two hours.
#
#   bash scripts/robustness.sh [build-folder [test ...]]   (default: build, all)
#
# Test names pick part of the file, e.g. LongDecodeRun.
# NORZA_ROBUST_DECODES, NORZA_ROBUST_CONFIGS, NORZA_ROBUST_HUGE_MB and
# NORZA_ROBUST_SEED change the counts and the seed; NORZA_CODEPAGES="936"
# runs one code page only. The counts of each code page are printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
NORZA_ROBUST_FULL=1 exec bash scripts/longrun.sh robustness "${1:-build}" tests/e2e/test_robustness.py "${@:2}"
