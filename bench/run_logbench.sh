#!/bin/sh
# Runs the log benchmark under Wine, in a prefix of its own.
#   bench/run_logbench.sh [build dir] [entries per process]
BUILD=${1:-build}
export WINEPREFIX=${WINEPREFIX:-/tmp/wp-logbench} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
exec wine "$BUILD/bench/logbench.exe" ${2:+"$2"}
