#!/usr/bin/env bash
# The full robustness run: 10,000 random decodes, 1,000 random pairs of
# settings files, the engine's out-of-range answers and the log faults, under
# both ANSI code pages, in a display and Wine prefix of its own. Installs what
# is missing and builds first. Takes about an hour.
#
#   bash scripts/robustness.sh [build-folder]        (default: build)
#
# NORZA_ROBUST_DECODES, NORZA_ROBUST_CONFIGS, NORZA_ROBUST_HUGE_MB and
# NORZA_ROBUST_SEED change the counts and the seed; NORZA_CODEPAGES="936"
# runs one code page only. The counts of each code page are printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bash scripts/setup.sh
bash scripts/build.sh "$build"
build="$(cd "$build" && pwd)"

# Apart from build/e2e, so that a test run in the same build folder keeps its prefix.
state="$build/robustness/state.json"
mkdir -p "$build/robustness"
python3 tests/e2e/wineenv.py start "$state"
trap 'python3 tests/e2e/wineenv.py stop "$state"' EXIT

status=0
for cp in ${NORZA_CODEPAGES:-1252 936}; do
  echo "=== code page $cp"
  NORZA_ROBUST_FULL=1 NORZA_BUILD_DIR="$build" NORZA_E2E_STATE="$state" NORZA_CODEPAGE="$cp" \
    PYTHONDONTWRITEBYTECODE=1 python3 tests/e2e/test_robustness.py || status=1
done
exit $status
