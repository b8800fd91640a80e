#!/usr/bin/env bash
# Runs whole scans on the simulated Windows with each platform call of each
# kind failing in turn (every call a clean scan makes, on a 9x and an NT
# machine) and prints, per kind, the calls swept and the broken rules, then
# the runs, failure points and violations. The test command runs a sample.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build/native -j2 --target unit_tests >/dev/null
CORDAFIX_FAULT_SWEEP=full build/native/unit_tests --gtest_filter='*FaultSweepTest*' --gtest_brief=1
