#!/usr/bin/env bash
# Builds everything and runs every test:
#   - the native build (simulated machine, sanitizers on) and its tests;
#   - the Windows x86_64 build and its tests under Wine: the conformance
#     tests in code pages 1252 and 932, and the end-to-end smoke tests;
#   - the Windows i686 build (build only: it needs a 32-bit Wine to run).
# Installs the packages it needs first. Build output goes to
# build/logs/*.log and is shown only when a build fails. Exits non-zero on
# any failure and ends with the test summaries.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh || exit 1

logs=build/logs
mkdir -p "$logs"

# step <name> <command...>: runs one build step with its output in a log.
step() {
    local name=$1
    shift
    printf '%-40s' "$name"
    local started=$SECONDS
    if "$@" >"$logs/$name.log" 2>&1; then
        echo "ok ($((SECONDS - started)) s)"
    else
        echo "FAILED"
        echo "----- last lines of $logs/$name.log"
        tail -n 60 "$logs/$name.log"
        exit 1
    fi
}

for preset in native windows windows-i686; do
    step "configure-$preset" cmake --preset "$preset"
    step "build-$preset" cmake --build --preset "$preset"
done

# Each test run's output is shown and kept; the summaries are repeated at
# the end so that the last lines tell the result.
status=0
echo
echo "===== native tests"
ctest --preset native --parallel "$(nproc)" 2>&1 | tee "$logs/ctest-native.log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1
echo
echo "===== Windows tests under Wine"
ctest --preset windows 2>&1 | tee "$logs/ctest-windows.log"
[ "${PIPESTATUS[0]}" = 0 ] || status=1

echo
echo "===== summary"
for run in native windows; do
    echo "$run:"
    sed -n '/tests passed/,$p' "$logs/ctest-$run.log"
done
exit "$status"
