#!/usr/bin/env bash
# Brings the Windows build up to date (scripts/windows/build.sh builds it
# when there is none) and runs under Wine, offscreen, every test that
# means something on Windows: CTest's (the unit
# tests, the jobs and roads with the fake tool, the job runner, the codec
# tools, one encode and decode end to end, the fuzz corpus replays, the
# executables as Windows meets them, the program run from run/ alone), then
# checks that the tests left the user's settings in the registry alone.
# Ends with "N passed, M failed"; non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/common.sh
build_dir=${BUILD_DIR:-build-win}
windows_build_tree "$build_dir"
source scripts/windows/wine-env.sh "$(windows_toolchain "$build_dir")"

passed=0
failed=0
count() {
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}

# CTest's tests; its summary gives their numbers.
run_ctest() {
    local log=$build_dir/ctest.log summary total failures
    ctest --test-dir "$build_dir" --output-on-failure | tee "$log" || true
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" || true)
    if [ -z "$summary" ]; then
        echo "ctest ran no test" >&2
        failed=$((failed + 1))
        return
    fi
    failures=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    passed=$((passed + total - failures))
    failed=$((failed + failures))
}

# The settings the program keeps for the user; the tests keep theirs in files.
user_settings() { wine reg query 'HKCU\Software\NORVAKE' /s 2>/dev/null | tr -d '\r' || true; }

settings_left_alone() {
    wineserver -w
    if [ "$(user_settings)" != "$settings_before" ]; then
        echo "FAIL: the tests changed HKEY_CURRENT_USER\\Software\\NORVAKE in the registry" >&2
        return 1
    fi
    echo "PASS: the tests left the registry's settings alone"
}

settings_before=$(user_settings)
run_ctest
count settings_left_alone
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
