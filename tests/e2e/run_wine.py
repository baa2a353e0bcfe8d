#!/usr/bin/env python3
"""Runs one Windows program (a unit-test binary) in the test run's Wine
environment and exits with its exit code, passing its output through.

A program that crashes may still end with code 0 under Wine (its debugger
takes the crash): a GoogleTest binary passes only when it says so last."""
import subprocess
import sys

import harness

p = subprocess.run(["wine", *sys.argv[1:]], env=harness.wine_env(),
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
out = p.stdout.decode("utf-8", "replace")
sys.stdout.write(out)
if p.returncode == 0 and "Running main() from" in out and "[  PASSED  ]" not in out:
    print("run_wine: the test binary ended without its summary (a crash?)")
    sys.exit(1)
sys.exit(p.returncode)
