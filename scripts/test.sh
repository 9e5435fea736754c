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
# any failure, with one line on stderr per failed step naming its log, and
# ends with the test summaries and a line on the tests skipped.
#
# On a machine whose kernel cannot run 32-bit programs, Wine's 32-bit part
# cannot start (tests/e2e/wine_lib.sh probes it once here; WINE32=off
# answers no anywhere): the Wine tests then run with the 64-bit loader,
# the end-to-end scenarios start the 64-bit program of the media directly,
# and the tests that need a 32-bit program to run (the i686 build's Wine
# tests, the scenario without the 64-bit program) are skipped.
set -uo pipefail
cd "$(dirname "$0")/.."
started_all=$SECONDS

if ! bash scripts/install_deps.sh; then
    echo "test.sh: stopped at installing the packages: scripts/install_deps.sh failed (its messages are above)" >&2
    exit 1
fi
source tests/e2e/wine_lib.sh
wine32_summary

logs=build/logs
mkdir -p "$logs" || { echo "test.sh: stopped: $logs could not be made" >&2; exit 1; }

status=0
# failed <what>: records a failed step for the closing lines on stderr.
failed_steps=()
failed() {
    failed_steps+=("$1")
    status=1
}

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
    failed "$name (full output in $logs/$name.log)"
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
    [ "${PIPESTATUS[0]}" = 0 ] ||
        failed "$preset tests (output in $logs/ctest-$preset.log, each test's in build/$preset/Testing/Temporary/LastTest.log)"
done

# The fuzz run and the static analysis show their own reports; their
# results join the summary.
echo
echo "===== fuzz"
bash scripts/fuzz.sh 50 2>&1 | tee "$logs/fuzz.log"
if [ "${PIPESTATUS[0]}" = 0 ]; then fuzz_result=passed; else fuzz_result=FAILED; failed "fuzz (output in $logs/fuzz.log and build/fuzz/logs)"; fi

echo
echo "===== static analysis"
bash scripts/static_analysis.sh 2>&1 | tee "$logs/static-analysis.log"
if [ "${PIPESTATUS[0]}" = 0 ]; then analysis_result=passed; else analysis_result=FAILED; failed "static analysis (output in $logs/static-analysis.log and build/static-analysis)"; fi

echo
echo "===== summary"
for preset in native windows windows-i686; do
    [[ " ${built[*]} " == *" $preset "* ]] || echo "$preset: build FAILED"
done
echo "fuzz: $fuzz_result"
echo "static analysis: $analysis_result"
skipped=()
for run in "${runs[@]}"; do
    echo "$run tests:"
    sed -n '/tests passed/,$p' "$logs/ctest-$run.log"
    # CTest lists them as "<number> - <name> (Skipped)".
    while read -r name; do
        skipped+=("$run $name")
    done < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$logs/ctest-$run.log")
done
echo "test.sh took $(( (SECONDS - started_all) / 60 )) min $(( (SECONDS - started_all) % 60 )) s"
for step in "${failed_steps[@]}"; do
    echo "test.sh: FAILED: $step" >&2
done
# Every skip of this suite comes from the probe: where the 32-bit part
# works, a skipped test is a fault of the harness.
if [ ${#skipped[@]} -eq 0 ]; then
    echo "Skipped: none"
elif [ "$wine32" = yes ]; then
    echo "test.sh: FAILED: ${#skipped[@]} test(s) skipped although Wine's 32-bit part works: ${skipped[*]}" >&2
    status=1
else
    names=$(printf '%s, ' "${skipped[@]}")
    echo "Skipped: ${#skipped[@]} tests that need Wine's 32-bit part, because it cannot be used here ($wine32_reason): ${names%, }"
fi
exit "$status"
