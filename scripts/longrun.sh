#!/usr/bin/env bash
# Runs one long end-to-end test under both ANSI code pages, in a display and
# Wine prefix of its own and with no test time limit. Installs what is missing
# and builds first. Used by robustness.sh and plugcycles.sh.
#
#   bash scripts/longrun.sh NAME BUILD-FOLDER TEST-FILE [TEST-NAME]
#
# NORZA_CODEPAGES="936" runs one code page only; the time of each code page
# is printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
name="$1"; build="$2"; shift 2
bash scripts/setup.sh
bash scripts/build.sh "$build"
build="$(cd "$build" && pwd)"

# Apart from build/e2e, so that a test run in the same build folder keeps its prefix.
state="$build/$name/state.json"
mkdir -p "$build/$name"
python3 tests/e2e/wineenv.py start "$state"
trap 'python3 tests/e2e/wineenv.py stop "$state"' EXIT

status=0
for cp in ${NORZA_CODEPAGES:-1252 936}; do
  echo "=== $name, code page $cp"
  start=$SECONDS
  NORZA_BUILD_DIR="$build" NORZA_E2E_STATE="$state" NORZA_CODEPAGE="$cp" \
    PYTHONDONTWRITEBYTECODE=1 python3 "$@" || status=1
  echo "=== code page $cp took $((SECONDS - start)) s"
done
exit $status
