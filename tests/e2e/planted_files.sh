#!/usr/bin/env bash
# Files planted beside the program: the real 210QX_USB.exe runs elevated,
# often from a download folder, so a DLL or a pnputil.exe of a system name
# planted there must never reach its process.
#
#   planted_files.sh <case> <template prefix> <work folder> <210QX_USB.exe> <helper folder> <planted folder>
#
# The helper folder holds box_watcher.exe, seed_devices.exe, pnputil.exe
# (the stand-in) and planted_probe.exe of the Windows build; the planted
# folder holds the marker files version.dll, comctl32.dll, shell32.dll and
# pnputil.exe (planted/): each leaves a line in C:\e2e\marker-<name>.txt
# when it is loaded or run, and the DLLs also when one of their exports is
# called.
#
# The machine is the Windows 7 one of the scenarios (seed/seed_lib.sh),
# with the phone's old packages oem5.inf, oem6.inf and oem8.inf in
# C:\windows\inf, so that on Windows the removal runs pnputil.exe for each
# of them (here the stand-in in C:\windows\system32). The program lies in
# C:\Program Files\210QX\USB with the media beside that folder, and runs in
# install mode with C:\users\Public\Downloads as its current folder and
# WINEDLLOVERRIDES preferring a native version.dll, comctl32.dll and
# shell32.dll wherever Wine finds one.
#
# Cases (the marker files are planted)
#   beside_program   beside the program and in the current folder
#   current_folder   in the current folder only
#
# The case passes when
#   - the program exits with 0 and shows no message box;
#   - the run reached the install step (the media's qtx0bus.inf is staged);
#   - the markers are those of expected/planted_<case>.markers (which says,
#     beside each Wine result that differs, what Windows does);
#   - the stand-in for the system's pnputil.exe was started as
#     expected/planted_<case>.markers says;
#   - the control: afterwards every planted file, loaded or started by its
#     full path from another program, does leave its marker, so a marker
#     that is missing above means the file was not used, not that it cannot
#     be.
# The markers are kept in <work folder>/planted_<case>.markers; the prefix
# is removed unless KEEP_WINE_PREFIX=1.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"
source "$here/seed/seed_lib.sh"

if [ $# -ne 6 ]; then
    echo "usage: planted_files.sh <case> <template> <work folder> <210QX_USB.exe> <helper folder> <planted folder>" >&2
    exit 2
fi
case_name=$1
template=$(realpath -m "$2")
work=$(realpath -m "$3")
program=$(realpath -m "$4")
helpers=$(realpath -m "$5")
planted=$(realpath -m "$6")

prefix="$work/planted_$case_name"
drive_c="$prefix/drive_c"
control="$drive_c/e2e"
program_windows='C:\Program Files\210QX\USB\210QX_USB.exe'
program_folder="$drive_c/Program Files/210QX/USB"
current_windows='C:\users\Public\Downloads'
current_folder="$drive_c/users/Public/Downloads"
planted_names=(version.dll comctl32.dll shell32.dll pnputil.exe)
# Native first for the names planted; Mono and Gecko stay off as everywhere.
overrides="mscoree,mshtml=;version,comctl32,shell32=n,b"
failures=0

cleanup() {
    watcher_stop "$prefix"
    wine_remove_prefix "$prefix"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

case $case_name in
    beside_program) plant_in=("$program_folder" "$current_folder") ;;
    current_folder) plant_in=("$current_folder") ;;
    *)
        echo "planted_files.sh: unknown case $case_name" >&2
        exit 2
        ;;
esac

for name in "${planted_names[@]}"; do
    [ -f "$planted/$name" ] || { echo "planted_files.sh: $planted/$name is missing" >&2; exit 2; }
done

# The marker lines of C:\e2e, one per line as "<name> loaded <dll> by
# <program>", "<name> called <function>" or "pnputil ran <path> as <command
# line>"; the stand-in's log as "stand-in ran <command line> (from <path>)".
# The files are moved away, so the next look starts empty.
collect_markers() {
    local file name
    for file in "$control"/marker-*.txt; do
        [ -e "$file" ] || continue
        name=$(basename "$file" .txt)
        name=${name#marker-}
        tr -d '\r' <"$file" | awk -F'\t' -v name="$name" '
            name == "pnputil" { print "pnputil ran " $1 " as " $2; next }
            $1 == "loaded" { print name " loaded " $2 " by " $3; next }
            { print name " " $1 " " $2 }'
        rm -f "$file"
    done
    if [ -f "$control/pnputil.log" ]; then
        paste "$control/pnputil.log" "$control/pnputil.image" | tr -d '\r' |
            awk -F'\t' '{ print "stand-in ran " $1 " (from " $2 ")" }'
        rm -f "$control/pnputil.log" "$control/pnputil.image"
    fi
}

# --- The machine, the program and the planted files.
wine_copy_template "$template" "$prefix" || exit 1
wine_keep_server "$prefix" || exit 1
seed_earlier_installation "$prefix" "$helpers/seed_devices.exe" || exit 1
install_program "$prefix" "$program" "Program Files/210QX" || exit 1
install_pnputil "$prefix" "$helpers/pnputil.exe" || exit 1
mkdir -p "$current_folder"
for folder in "${plant_in[@]}"; do
    for name in "${planted_names[@]}"; do
        cp "$planted/$name" "$folder/$name"
    done
done
watcher_start "$prefix" "$helpers/box_watcher.exe" || exit 1

# --- The run: install mode, from the download folder.
echo "running $program_windows from $current_windows with WINEDLLOVERRIDES=$overrides"
(cd "$current_folder" &&
    wine_call "$prefix" 932 60 env WINEDLLOVERRIDES="$overrides" "$WINE" "$program_windows" </dev/null)
status=$?
watcher_stop "$prefix"

markers="$work/planted_$case_name.markers"
collect_markers | LC_ALL=C sort >"$markers"
echo "exit code: $status"
echo "markers and pnputil runs:"
sed 's/^/  /' "$markers"

if [ "$status" = 124 ]; then
    fail "the program did not end within 60 s"
elif [ "$status" != 0 ]; then
    fail "the program exited with $status, not 0"
fi
if [ -s "$control/boxes.log" ]; then
    fail "the program showed message boxes"
    print_boxes "$control/boxes.log"
fi
[ -f "$drive_c/windows/inf/qtx0bus.inf" ] || fail "the run did not reach the install step (qtx0bus.inf is not staged)"
expected=$(grep -v -e '^#' -e '^$' "$here/expected/planted_$case_name.markers" | LC_ALL=C sort)
if [ "$(cat "$markers")" != "$expected" ]; then
    fail "the markers differ from expected/planted_$case_name.markers"
    diff <(printf '%s\n' "$expected") "$markers" | sed -n 's/^</  expected only:/p; s/^>/  seen only:    /p'
fi

# --- The control: every planted file, used by its full path, marks.
probe_paths=()
expected_control=()
for folder in "${plant_in[@]}"; do
    windows_folder="C:\\${folder#"$drive_c/"}"
    windows_folder=${windows_folder//\//\\}
    for name in "${planted_names[@]}"; do
        probe_paths+=("$windows_folder\\$name")
        case $name in
            pnputil.exe) expected_control+=("pnputil ran $windows_folder\\$name as \"$windows_folder\\$name\"") ;;
            *) expected_control+=("${name%.dll} loaded $windows_folder\\$name by C:\\e2e\\planted_probe.exe") ;;
        esac
    done
done
cp "$helpers/planted_probe.exe" "$control/planted_probe.exe"
wine_call "$prefix" 932 60 env WINEDLLOVERRIDES="$overrides" "$WINE" 'C:\e2e\planted_probe.exe' "${probe_paths[@]}" </dev/null ||
    fail "the control could not load or start every planted file"
seen_control=$(collect_markers | LC_ALL=C sort)
expected_control_text=$(printf '%s\n' "${expected_control[@]}" | LC_ALL=C sort)
if [ "$seen_control" != "$expected_control_text" ]; then
    fail "the planted files did not all leave their markers when used by their full paths"
    diff <(printf '%s\n' "$expected_control_text") <(printf '%s\n' "$seen_control") |
        sed -n 's/^</  expected only:/p; s/^>/  seen only:    /p'
fi

if [ "$failures" -gt 0 ]; then
    echo "planted_$case_name: $failures check(s) failed"
    exit 1
fi
echo "planted_$case_name: passed"
