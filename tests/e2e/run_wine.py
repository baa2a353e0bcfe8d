#!/usr/bin/env python3
"""Runs one Windows program (a unit-test binary) in the test run's Wine
environment and exits with its exit code, passing its output through."""
import subprocess
import sys

import harness

sys.exit(subprocess.run(["wine", *sys.argv[1:]], env=harness.wine_env()).returncode)
