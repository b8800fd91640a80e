#!/bin/bash
# Runs the cross-built contract tests under Wine in a fresh prefix whose D:
# drive is a new temporary folder (with the build's sleeper.exe and
# test_service.exe beside them in C:\tests).
#   run_contract.sh CONTRACT_TESTS_EXE [MODE] [gtest arguments...]
# MODE is a Windows version mode (default winxp). The template prefix is
# cached in $CORDAFIX_WINE_TEMPLATE (default /tmp/cordafix-wine/template, template-win64 for wine64).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"

exe=${1:?usage: run_contract.sh CONTRACT_TESTS_EXE [MODE] [gtest arguments...]}
mode=${2:-winxp}
shift $(( $# >= 2 ? 2 : 1 ))
[ -f "$exe" ] || { echo "run_contract.sh: no such program: $exe" >&2; exit 1; }

wine_test_prefix contract "$mode" || exit 1
work=$WINE_WORK
prefix=$WINE_PREFIX
# Entries no Windows call makes (see ContractEnv::HostMadeFolder).
made="$work/drive_d/hostmade"
mkdir -p "$made/sub" && ln -s sub "$made/sublink" || exit 1
for name in 'a?b.exe' 'trail.exe.' 'Long Name.exe' 'plain.exe'; do printf '%s' "$name" >"$made/$name"; done
export CORDAFIX_CONTRACT_HOSTMADE='D:\hostmade'
wine_map_drive "$prefix" d "$work/drive_d" || exit 1
mkdir -p "$prefix/drive_c/tests" && cp "$exe" "$prefix/drive_c/tests/contract_tests.exe" || exit 1
# The sleeping program and the test service the process cases start.
for tool in sleeper.exe test_service.exe; do
    [ -f "$(dirname "$exe")/$tool" ] && cp "$(dirname "$exe")/$tool" "$prefix/drive_c/tests/"
done

CORDAFIX_CONTRACT_DRIVE=D: wine_run "$prefix" 300 'C:\tests\contract_tests.exe' "$@"
