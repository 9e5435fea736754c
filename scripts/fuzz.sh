#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each of them for a share of a total
# time, two at a time (one per core):
#
#   scripts/fuzz.sh            # 50 seconds in all: the quick run of scripts/test.sh
#   scripts/fuzz.sh 3600       # an hour in all, for a longer search
#   scripts/fuzz.sh 600 path_text messages   # only these targets
#
# Each target first replays its committed inputs (fuzz/corpus/<target>/, the
# seeds, and fuzz/regressions/<target>/, inputs that once failed), then
# fuzzes from them. A run of ten minutes or more keeps the inputs it finds in
# build/fuzz/corpus/<target>/ and starts from those kept before; a shorter
# run starts from the seeds alone, so that a large kept corpus cannot
# outlast its time. A failing input is written to
# build/fuzz/artifacts/<target>/. Prints the executions and time of each
# target and exits non-zero when any target failed or found a failing input.
set -uo pipefail
cd "$(dirname "$0")/.."

total=${1:-50}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(command_line messages path_text settings_file product_inf)

build=build/fuzz
logs=$build/logs
mkdir -p "$logs"

if ! { cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build" -j "$(nproc)"; } >"$logs/build.log" 2>&1; then
    echo "fuzz: the build failed (full output in $logs/build.log)" >&2
    grep -m 20 -E 'error|Error' "$logs/build.log" | sed 's/^/    /'
    exit 1
fi

# Every input builds a simulated machine whose drives live in a host
# temporary folder; a memory file system makes that several times faster
# than a disk. The folder goes when the run ends.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
TMPDIR=$(mktemp -d "$shm/fuzz-XXXXXX") || { echo "fuzz: no work folder could be made in $shm" >&2; exit 1; }
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

# Two targets run side by side: the time is shared among the rounds.
rounds=$(( (${#targets[@]} + 1) / 2 ))
per_target=$(( total / rounds ))
[ "$per_target" -ge 1 ] || per_target=1

# run <target>: replays the committed inputs, then fuzzes; the log holds
# libFuzzer's output without winsim's notes on calls it does not model
# (one for nearly every settings file the code page cannot decode), which
# are loud failures of the call, not failures of the target.
run() {
    local target=$1
    local binary=$build/fuzz_$target
    local log=$logs/$target.log
    local work=$TMPDIR/corpus/$target
    [ "$total" -lt 600 ] || work=$build/corpus/$target
    local artifacts=$build/artifacts/$target
    mkdir -p "$work" "$artifacts"
    local replay=()
    for dir in fuzz/corpus/$target fuzz/regressions/$target; do
        [ -d "$dir" ] && replay+=("$dir"/*)
    done
    {
        if [ ${#replay[@]} -gt 0 ] && ! "$binary" "${replay[@]}"; then
            echo "REPLAY FAILED"
            exit 1
        fi
        # New inputs are written to the first folder only; the committed
        # seeds are read, never changed.
        "$binary" "$work" "fuzz/corpus/$target" \
            -max_total_time="$per_target" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
            -print_final_stats=1 -artifact_prefix="$artifacts/"
    } 2>&1 | grep -av '^winsim: not modelled' >"$log"
    return "${PIPESTATUS[0]}"
}

declare -A pids
status=0
report() {
    local target=$1 rc=$2
    local log=$logs/$target.log
    local runs seconds
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    if [ "$rc" = 0 ]; then
        printf '  %-14s %9s executions in %s s\n' "$target" "${runs:-?}" "${seconds:-?}"
    else
        printf '  %-14s FAILED after %s executions (log: %s)\n' "$target" "${runs:-?}" "$log"
        # The failed check with its message, the sanitizer's verdict, and
        # where the input was kept.
        grep -a -m 12 -E -A1 'check failed' "$log" | sed 's/^/      /'
        grep -a -m 8 -E 'ERROR|SUMMARY|REPLAY FAILED|Test unit written' "$log" | sed 's/^/      /'
        status=1
    fi
}

echo "fuzzing ${#targets[@]} targets, $per_target s each, two at a time"
queue=("${targets[@]}")
running=()
while [ ${#queue[@]} -gt 0 ] || [ ${#running[@]} -gt 0 ]; do
    while [ ${#running[@]} -lt 2 ] && [ ${#queue[@]} -gt 0 ]; do
        target=${queue[0]}
        queue=("${queue[@]:1}")
        run "$target" &
        pids[$target]=$!
        running+=("$target")
    done
    # Wait for the first of the running targets to end.
    wait -n
    still=()
    for target in "${running[@]}"; do
        if kill -0 "${pids[$target]}" 2>/dev/null; then
            still+=("$target")
        else
            wait "${pids[$target]}"
            report "$target" $?
        fi
    done
    running=("${still[@]}")
done
exit "$status"
