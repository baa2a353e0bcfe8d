#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit tests and
# end-to-end tests of the real programs under Wine in a private virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
cd build
ctest --output-on-failure -j2 --repeat until-pass:2 "$@"
