#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests and
# end-to-end tests of the real programs under Wine in a private virtual display.
# A test runs once: one that fails has failed. The ten slowest are listed last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
cd build
rc=0
ctest --output-on-failure -j4 "$@" | tee ctest-output.txt || rc=$?
echo "Slowest tests:"
grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' ctest-output.txt |
    sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 \1/' |
    sort -rn | head -10 | awk '{ printf "  %8.1f s  %s\n", $1, $2 }'
exit $rc
