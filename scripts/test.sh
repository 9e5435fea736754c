#!/usr/bin/env bash
# Builds everything and runs every test:
#   - the native build (simulated machine, sanitizers on) and its tests;
#   - the Windows x86_64 build and its tests under Wine: the conformance
#     tests in code pages 1252 and 932, and the end-to-end smoke tests;
#   - the Windows i686 build and its conformance tests, a 32-bit program in
#     WOW64 of a 64-bit Wine prefix (Wine's 32-bit part, wine32:i386);
#   - a short fuzz run of every fuzz target (scripts/fuzz.sh, 50 s in all);
#   - the static analysis of the product and winsim
#     (scripts/static_analysis.sh).
# Installs the packages it needs first. Build output goes to
# build/logs/*.log and is shown only when a build fails. Exits non-zero on
# any failure and ends with the test summaries.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh || exit 1

logs=build/logs
mkdir -p "$logs"

status=0

# step <name> <command...>: runs one build step with its output in a log
# and shows the first errors when it fails.
step() {
    local name=$1
    shift
    printf '%-28s' "$name"
    local started=$SECONDS
    if "$@" >"$logs/$name.log" 2>&1; then
        echo "ok ($((SECONDS - started)) s)"
        return 0
    fi
    echo "FAILED (full output in $logs/$name.log)"
    grep -m 40 -E 'error|Error|undefined reference' "$logs/$name.log" | sed 's/^/    /'
    status=1
    return 1
}

# A preset that does not build is reported and its tests are skipped; the
# other presets still build and run, so one broken area hides nothing else.
built=()
for preset in native windows windows-i686; do
    step "configure-$preset" cmake --preset "$preset" &&
        step "build-$preset" cmake --build --preset "$preset" &&
        built+=("$preset")
done

# Each test run's output is shown and kept; the summaries are repeated at
# the end so that the last lines tell the result.
runs=()
for preset in native windows windows-i686; do
    [[ " ${built[*]} " == *" $preset "* ]] || continue
    runs+=("$preset")
    echo
    echo "===== $preset tests"
    parallel=1
    # The native tests are independent processes; the Wine tests run one
    # prefix at a time.
    [ "$preset" = native ] && parallel=$(nproc)
    ctest --preset "$preset" --parallel "$parallel" 2>&1 | tee "$logs/ctest-$preset.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
done

# The fuzz run and the static analysis show their own reports; their
# results join the summary.
echo
echo "===== fuzz"
bash scripts/fuzz.sh 50 2>&1 | tee "$logs/fuzz.log"
if [ "${PIPESTATUS[0]}" = 0 ]; then fuzz_result=passed; else fuzz_result=FAILED; status=1; fi

echo
echo "===== static analysis"
bash scripts/static_analysis.sh 2>&1 | tee "$logs/static-analysis.log"
if [ "${PIPESTATUS[0]}" = 0 ]; then analysis_result=passed; else analysis_result=FAILED; status=1; fi

echo
echo "===== summary"
for preset in native windows windows-i686; do
    [[ " ${built[*]} " == *" $preset "* ]] || echo "$preset: build FAILED"
done
echo "fuzz: $fuzz_result"
echo "static analysis: $analysis_result"
for run in "${runs[@]}"; do
    echo "$run tests:"
    sed -n '/tests passed/,$p' "$logs/ctest-$run.log"
done
exit "$status"
