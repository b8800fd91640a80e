#!/usr/bin/env bash
# Builds everything and runs every test: the native unit and component tests,
# the contract tests (simulated and real Windows under Wine) and the end-to-end
# tests of cordafix.exe under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh
# The native tests again under the address and undefined-behaviour sanitizers,
# fuzz corpora included.
bash tools/sanitize.sh
cd build/native
ctest --output-on-failure -j"$(nproc)" --timeout 900
