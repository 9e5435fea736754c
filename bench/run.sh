#!/usr/bin/env bash
# The benchmark: how long the program's install mode takes on a large
# machine, against the floor, the same platform calls made by a minimal
# program (bench/floor.h), under Wine and on the simulated machine.
#
#   bench/run.sh [--repeat N] [--sizes "0.5 1 2"] [--wine-only | --winsim-only]
#
# The large machine (bench/large_machine.h) at scale 1 holds 2,000 INF files
# in the INF folder (300 oem*.inf, three of them the phone's old packages),
# 5,000 device instances (12 of them the phone's) and 500 services (four
# the phone's); the scales given (default 0.5, 1 and 2) multiply all but
# the phone's items, to show how the time grows.
#
# Under Wine (Japanese Windows 7, code page 932): for each scale a prefix is
# seeded once and kept in build/bench/wine/machine-<scale> (made again when
# the machine's description or Wine changes): its INF files copied into
# C:\windows\inf, its devices, services and the product key imported from
# one registry file, the phone's driver files. Each timed run starts on a
# fresh copy (in /dev/shm when it has room) with a warm wineserver and the
# message-box watcher running, and measures the wall time of one program:
# 210QX_USB.exe in install mode from C:\Program Files\210QX\USB (media
# beside it), or bench_floor.exe with the same media; the two alternate, N
# times each (default 5). The time of an empty program (bench_floor.exe
# --empty) is shown too: it is in both figures.
#
# On the simulated machine: bench_winsim runs WinMain and the floor on
# freshly seeded machines of the same description, timing wall and CPU time.
#
# Prints each run and a summary: the best (shortest) and the median times,
# the ratio program/floor of each (the goal is under 1.1) and, between
# consecutive scales, the factor by which the best time grew (2.0 for each
# doubling is linear growth). On a machine that other work keeps busy the
# times of one program vary by a factor of several (Wine's many short
# requests to its wineserver each wait for a processor): the best of
# several runs is the figure that noise spoils least. The builds
# (Release, in build/bench/native and build/bench/windows) and their logs
# (build/bench/logs) are kept. Exits 1 when a build fails or a run did not
# do its work (an exit code other than 0, a message box, a program whose
# log does not show the three INF files staged and its exit, a floor that
# found other counts than the machine holds).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source tests/e2e/wine_lib.sh
source tests/e2e/seed/seed_lib.sh

repeat=5
sizes=(0.5 1 2)
run_wine=1 run_winsim=1
while [ $# -gt 0 ]; do
    case $1 in
        --repeat) repeat=$2; shift 2 ;;
        --sizes) read -r -a sizes <<<"$2"; shift 2 ;;
        --wine-only) run_winsim=0; shift ;;
        --winsim-only) run_wine=0; shift ;;
        *) echo "usage: bench/run.sh [--repeat N] [--sizes \"0.5 1 2\"] [--wine-only | --winsim-only]" >&2; exit 2 ;;
    esac
done

bench=$root/build/bench
logs=$bench/logs
native=$bench/native
windows=$bench/windows
wine_folder=$bench/wine
run_timeout=1800  # seconds for one run of a program under Wine
boot_timeout=1800 # seconds for the first program of a prefix, which boots it
failures=0
mkdir -p "$logs"

# The timed runs work in a memory file system where there is room: the
# copy of a prefix (about 700 MB) is then made in a second and leaves no
# write-back to disk that would slow the run after it. The simulated
# machine's drive C: goes there too (winsim places it under TMPDIR).
scratch=$bench/scratch
if [ -d /dev/shm ] && [ -w /dev/shm ] &&
   [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((3 * 1024 * 1024)) ]; then
    scratch=/dev/shm/usb210qx-bench-$$
fi
mkdir -p "$scratch"
trap 'wine_stop "$scratch/run"; rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM

problem() {
    echo "  PROBLEM: $*"
    failures=$((failures + 1))
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
least() { printf '%s\n' "$@" | sort -g | head -n 1; }

bash scripts/install_deps.sh || exit 1
wine32_summary

# --- Builds: Release, without sanitizers, in trees of their own.
build() {
    local name=$1 log=$logs/build-$1.log
    shift
    echo "Building $name (output in $log)"
    if ! "$@" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "run.sh: the $name build failed" >&2
        exit 1
    fi
}
build native bash -c "cmake -S '$root' -B '$native' -DCMAKE_BUILD_TYPE=Release -DENABLE_SANITIZERS=OFF \
        -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc &&
    cmake --build '$native' -j2 --target bench_winsim bench_make_machine"
if [ "$run_wine" = 1 ]; then
    build windows bash -c "cmake -S '$root' -B '$windows' -DCMAKE_TOOLCHAIN_FILE='$root/cmake/mingw-w64-x86_64.cmake' \
            -DCMAKE_BUILD_TYPE=Release &&
        cmake --build '$windows' -j2 --target usb210qx bench_floor box_watcher"
fi

# --- The machines' files, one folder per scale.
declare -A machine_digest
for size in "${sizes[@]}"; do
    folder=$bench/machines/$size
    rm -rf "$folder"
    mkdir -p "$bench/machines"
    if ! "$native/bench/bench_make_machine" "$size" "$root/media/Drivers" "$folder"; then
        echo "run.sh: the machine of scale $size could not be written" >&2
        exit 1
    fi
    machine_digest[$size]=$( (cd "$folder" && find . -type f -print0 | sort -z | xargs -0 sha1sum) | sha1sum | cut -c1-40)
done

# --- Under Wine.
declare -A wine_program wine_floor wine_empty wine_program_best wine_floor_best
program_windows='C:\Program Files\210QX\USB\210QX_USB.exe'

# seed_prefix <scale>: the prefix of that machine, made unless it is there
# for this description and Wine.
seed_prefix() {
    local size=$1 prefix=$wine_folder/machine-$1 folder=$bench/machines/$1
    local stamp
    stamp="${machine_digest[$size]} $("$WINE64" --version 2>/dev/null) wine32-$wine32"
    if [ -f "$prefix/.bench-ready" ] && [ "$(cat "$prefix/.bench-ready")" = "$stamp" ]; then
        echo "  prefix of scale $size: kept from an earlier run ($prefix)"
        return 0
    fi
    local start=$(now) seeded
    wine_stop "$prefix"
    rm -rf "$prefix"
    if ! cp -a "$(wine_template_for "$wine_folder/template")" "$prefix"; then
        echo "run.sh: the template prefix could not be copied to $prefix (see cp's message above)" >&2
        return 1
    fi
    rm -f "$prefix/.template-ready"
    wine_keep_server "$prefix" || return 1
    cp -r "$folder/inf/." "$prefix/drive_c/windows/inf/"
    mkdir -p "$prefix/drive_c/bench"
    cp "$folder/machine.reg" "$prefix/drive_c/bench/machine.reg"
    if ! wine_call "$prefix" 932 1200 "$WINE" reg import 'C:\bench\machine.reg' /reg:64 >"$logs/reg-import-$size.log" 2>&1; then
        echo "run.sh: reg import of the machine of scale $size failed (see $logs/reg-import-$size.log)" >&2
        return 1
    fi
    rm -f "$prefix/drive_c/bench/machine.reg"
    seed_driver_files "$prefix/drive_c/windows/system32/drivers"
    # The registry reaches the disk when the wineserver ends; the services
    # imported are seen only by a new wineserver anyway.
    wine_stop "$prefix"
    echo "$stamp" >"$prefix/.bench-ready"
    seeded=$(elapsed "$start" "$(now)")
    echo "  prefix of scale $size: seeded in $seeded s (INF files copied, devices and services by reg import)"
}

# run_program_under_test <program|floor>: runs one of the two in the
# prepared prefix and returns its exit code.
run_program_under_test() {
    if [ "$1" = program ]; then
        (cd "$drive_c/Program Files/210QX/USB" && wine_call "$prefix" 932 "$run_timeout" "$WINE" "$program_windows" </dev/null)
    else
        wine_call "$prefix" 932 "$run_timeout" "$WINE" 'C:\bench\bench_floor.exe' 'C:\Program Files\210QX\Drivers' \
            'C:\bench\floor.txt' </dev/null
    fi
}

# check_floor_counts <scale>: the floor saw the whole machine: every device
# (Wine adds a few of its own) with the phone's four of each kind, every
# oem*.inf, and it staged the three INF files. (Wine's INF listing is empty:
# SetupGetInfFileListA with a NULL folder lists nothing there.)
check_floor_counts() {
    local infs oems devices services i
    read -r infs oems devices services <"$bench/machines/$1/size.txt"
    local re='^devices ([0-9]+)\(([0-9]+) matching\) ([0-9]+)\(([0-9]+) matching\) ([0-9]+)\(([0-9]+) matching\), '
    re+='listed INF files ([0-9]+) \(([0-9]+) with the model section\), oem\*\.inf ([0-9]+) \(([0-9]+)\), staged ([0-9]+)'
    if ! [[ $floor_counts =~ $re ]]; then
        problem "the floor wrote no counts"
        return
    fi
    for i in 1 3 5; do
        [ "${BASH_REMATCH[i]}" -ge "$devices" ] && [ "${BASH_REMATCH[i + 1]}" = 4 ] ||
            problem "a device enumeration of the floor found ${BASH_REMATCH[i]} devices, ${BASH_REMATCH[i + 1]} matching"
    done
    [ "${BASH_REMATCH[9]}" = "$oems" ] || problem "the floor found ${BASH_REMATCH[9]} oem*.inf, not $oems"
    [ "${BASH_REMATCH[11]}" = 3 ] || problem "the floor staged ${BASH_REMATCH[11]} INF files, not 3"
}

# run_once <scale> <program|floor>: one timed run on a fresh copy of the
# machine's prefix; sets run_seconds and run_empty.
run_once() {
    local size=$1 kind=$2
    prefix=$scratch/run
    drive_c=$prefix/drive_c
    wine_stop "$prefix"
    rm -rf "$prefix"
    cp -a "$wine_folder/machine-$size" "$prefix"
    rm -f "$prefix/.bench-ready"
    install_program "$prefix" "$windows/210QX_USB.exe" "Program Files/210QX" full
    mkdir -p "$drive_c/bench"
    cp "$windows/bench/bench_floor.exe" "$drive_c/bench/bench_floor.exe"
    wine_call "$prefix" 932 60 wineserver -p
    # The first program starts Wine's services; the second one's time is
    # what starting any program costs. Wine's service manager reads every
    # service and device of the machine first, minutes at the largest
    # scale: a first program cut short by `timeout` takes the unfinished
    # boot with it, and every later program of the prefix then waits for
    # that boot for ever.
    if ! wine_call "$prefix" 932 "$boot_timeout" "$WINE" 'C:\bench\bench_floor.exe' --empty; then
        problem "Wine did not start a program in the prefix of scale $size within $boot_timeout s"
        return 1
    fi
    local start=$(now)
    wine_call "$prefix" 932 120 "$WINE" 'C:\bench\bench_floor.exe' --empty
    run_empty=$(elapsed "$start" "$(now)")
    # Wine's device manager may still be reading a large machine's devices
    # after the first program: the watcher gets longer to start.
    watcher_start_seconds=300 watcher_start "$prefix" "$windows/tests/e2e/box_watcher.exe" || return 1

    local status
    start=$(now)
    run_program_under_test "$kind" 2>>"$logs/wine-stderr.log"
    status=$?
    run_seconds=$(elapsed "$start" "$(now)")
    watcher_stop "$prefix"

    [ "$status" = 0 ] || problem "$kind exited with $status"
    if [ -s "$drive_c/e2e/boxes.log" ]; then
        problem "$kind showed message boxes"
        print_boxes "$drive_c/e2e/boxes.log"
    fi
    if [ "$kind" = program ]; then
        # The program's own log says what it did. Wine's INF listing is
        # empty (SetupGetInfFileListA with a NULL folder lists nothing), so
        # from Vista on the removal finds no old package to hand to
        # pnputil.exe, and staging an INF identical to one in the store
        # gives back that oemN.inf: the old packages' files stay, and
        # telling the staged INF files by their names cannot work.
        local log=$drive_c/windows/210QX_USB.log staged
        staged=$(grep -c "	INF staged	" "$log" 2>/dev/null)
        [ "${staged:-0}" = 3 ] || problem "the program's log names ${staged:-no} staged INF files, not 3"
        tail -n 1 "$log" 2>/dev/null | grep -q "	exit	0" || problem "the program's log does not end with its exit line"
    else
        floor_counts=$(tr -d '\r' <"$drive_c/bench/floor.txt" 2>/dev/null)
        check_floor_counts "$size"
    fi
    wine_stop "$prefix"
}

if [ "$run_wine" = 1 ]; then
    echo
    echo "== Under Wine ($("$WINE64" --version 2>/dev/null), loader $WINE)"
    bash tests/e2e/make_template.sh "$wine_folder/template" || exit 1
    for size in "${sizes[@]}"; do
        read -r infs oems devices services <"$bench/machines/$size/size.txt"
        echo "scale $size: $infs INF files ($oems oem*.inf), $devices devices, $services services"
        seed_prefix "$size" || exit 1
        program_times=() floor_times=() empty_times=()
        for ((run = 1; run <= repeat; run++)); do
            run_once "$size" program || exit 1
            program_times+=("$run_seconds")
            empty_times+=("$run_empty")
            run_once "$size" floor || exit 1
            floor_times+=("$run_seconds")
            empty_times+=("$run_empty")
            echo "  run $run: program ${program_times[-1]} s, floor ${floor_times[-1]} s" \
                "(empty program ${empty_times[-2]} s, ${empty_times[-1]} s)"
            echo "    floor: $floor_counts"
        done
        wine_program[$size]=$(median "${program_times[@]}")
        wine_floor[$size]=$(median "${floor_times[@]}")
        wine_empty[$size]=$(median "${empty_times[@]}")
        wine_program_best[$size]=$(least "${program_times[@]}")
        wine_floor_best[$size]=$(least "${floor_times[@]}")
    done
    wine_stop "$scratch/run"
    rm -rf "$scratch/run"
fi

# --- On the simulated machine.
declare -A winsim_program winsim_floor winsim_program_best winsim_floor_best winsim_program_cpu winsim_floor_cpu
if [ "$run_winsim" = 1 ]; then
    echo
    echo "== On the simulated machine (winsim)"
    TMPDIR=$scratch "$native/bench/bench_winsim" "$root/media" --repeat "$repeat" "${sizes[@]}" | tee "$logs/winsim.txt"
    [ "${PIPESTATUS[0]}" = 0 ] || failures=$((failures + 1))
    while read -r _ _ size program_best floor_best program floor program_cpu floor_cpu; do
        winsim_program_best[$size]=$program_best
        winsim_floor_best[$size]=$floor_best
        winsim_program[$size]=$program
        winsim_floor[$size]=$floor
        winsim_program_cpu[$size]=$program_cpu
        winsim_floor_cpu[$size]=$floor_cpu
    done < <(grep '^RESULT winsim' "$logs/winsim.txt")
fi

# --- Summary.
# row <label> <array name>: one line of figures, one column per scale.
row() {
    local label=$1 size
    local -n values=$2
    printf '  %-26s' "$label"
    for size in "${sizes[@]}"; do printf '%12s' "${values[$size]:-?}"; done
    echo
}
# ratio_row <label> <numerators> <denominators>
ratio_row() {
    local label=$1 size
    local -n top=$2 bottom=$3
    printf '  %-26s' "$label"
    for size in "${sizes[@]}"; do
        printf '%12s' "$(awk -v a="${top[$size]:-0}" -v b="${bottom[$size]:-0}" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "?" }')"
    done
    echo
}
# growth_row <label> <array name>: the factor from each scale to the next.
growth_row() {
    local label=$1 i
    local -n values=$2
    printf '  %-26s%12s' "$label" ""
    for ((i = 1; i < ${#sizes[@]}; i++)); do
        printf '%12s' "$(awk -v a="${values[${sizes[i - 1]}]:-0}" -v b="${values[${sizes[i]}]:-0}" \
            -v s="${sizes[i - 1]}" -v t="${sizes[i]}" \
            'BEGIN { if (a > 0) printf "x%.2f/%g", b / a, t / s; else print "?" }')"
    done
    echo
}

echo
echo "== Summary ($repeat runs of each; seconds)"
printf '  %-26s' "scale"
for size in "${sizes[@]}"; do printf '%12s' "$size"; done
echo
if [ "$run_wine" = 1 ]; then
    echo " Wine, wall time of the .exe:"
    row "program, best" wine_program_best
    row "floor, best" wine_floor_best
    ratio_row "ratio of the best" wine_program_best wine_floor_best
    row "program, median" wine_program
    row "floor, median" wine_floor
    ratio_row "ratio of the medians" wine_program wine_floor
    row "empty program, median" wine_empty
    growth_row "program grew (best)" wine_program_best
    growth_row "floor grew (best)" wine_floor_best
fi
if [ "$run_winsim" = 1 ]; then
    echo " winsim, WinMain against the floor:"
    row "program, best" winsim_program_best
    row "floor, best" winsim_floor_best
    ratio_row "ratio of the best" winsim_program_best winsim_floor_best
    row "program, median" winsim_program
    row "floor, median" winsim_floor
    ratio_row "ratio of the medians" winsim_program winsim_floor
    row "program, median CPU" winsim_program_cpu
    row "floor, median CPU" winsim_floor_cpu
    ratio_row "ratio of the CPU medians" winsim_program_cpu winsim_floor_cpu
    growth_row "program grew (best)" winsim_program_best
    growth_row "floor grew (best)" winsim_floor_best
fi
echo "  (growth: time at a scale over the time at the one before, and the"
echo "  scales' ratio; equal figures mean linear growth)"
if [ "$failures" -gt 0 ]; then
    echo "run.sh: $failures problem(s); the figures above may not be comparable" >&2
    exit 1
fi
