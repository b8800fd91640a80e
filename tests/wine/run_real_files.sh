#!/usr/bin/env bash
# Runs the real-input tests that read a Wine prefix (its registry files and
# hosts file) on the template prefix of the Wine tests, which only is read.
#   run_real_files.sh REAL_FILES_TESTS
set -u
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
tests=${1:?usage: run_real_files.sh REAL_FILES_TESTS}
template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
wine_template_prefix "$template" || { echo "run_real_files.sh: no template prefix" >&2; exit 1; }
CORDAFIX_REAL_WINE_PREFIX=$template exec "$tests" --gtest_filter='RealRegistryTest.*:RealFilesTest.RealHostsFiles*'
