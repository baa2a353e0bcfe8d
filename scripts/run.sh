#!/usr/bin/env bash
# Installs what is missing, builds, and shows the program's main job under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
python3 scripts/demo.py
