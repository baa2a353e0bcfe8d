#!/usr/bin/env bash
# Builds an optimised release and packs it in build-release/release/:
# Norza-4.3-win32.zip and the installer Norza-4.3-setup.exe (NSIS).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release --target Norza vistrel scanctl
python3 scripts/release.py --build-dir build-release --out build-release/release --installer
