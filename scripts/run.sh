#!/usr/bin/env bash
# Shows the program's main job under Wine: a PC that holds an earlier
# installation of the phone's USB drivers is cleaned up and prepared anew.
#
#   scripts/run.sh [switches]        e.g. scripts/run.sh /R
#
# Installs the packages it needs, builds the install media as shipped (the
# usb_media target: the 32-bit USB\210QX_USB.exe, the 64-bit
# USB\210QX_USB_x64.exe, Drivers and metadata), and lays out a fresh 64-bit
# Wine prefix (Japanese Windows 7, code page 932) seeded as the end-to-end
# scenarios seed it (tests/e2e/seed): the phone's device instances,
# services, driver files, old packages and InstallFlag (in the 32-bit
# registry view, where the earlier 32-bit tool kept it), and other
# products' look-alikes beside them (among them a key of the product key's
# name in the 64-bit view). A launcher window with the property
# "CDROMLauncher" runs. The media are laid out in C:\Program Files\210QX\
# and C:\Program Files\210QX\USB\210QX_USB.exe runs, as a user starts it,
# with the switches given (none: install mode): on 64-bit Windows it hands
# the run to 210QX_USB_x64.exe. The script prints what the machine held
# before and after, InstallFlag in both registry views, every message box
# shown (each is answered with OK, or with the button ID in BOX_ANSWER) and
# the exit code.
# The prefix is kept in build/windows/wine/run for a look afterwards.
# RUN_TIMEOUT (seconds, default 120) ends a program that does not finish.
#
# On a machine whose kernel cannot run 32-bit programs, Wine's 32-bit part
# cannot start (tests/e2e/wine_lib.sh probes it; WINE32=off answers no
# anywhere): the script then says so and starts USB\210QX_USB_x64.exe of
# the same layout directly, the program the 32-bit one hands the run to.
#
# Every stop before the end names its step and cause on stderr, and where
# the whole output is. The script exits with the program's exit code.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source tests/e2e/wine_lib.sh
source tests/e2e/seed/seed_lib.sh

# stop <step> <cause>: ends the script with the one line that says why.
stop() {
    echo "run.sh: stopped at $1: $2" >&2
    stopped=1
    exit 1
}
stopped=0
# A stop that no step explained still gets its line.
trap 'status=$?; [ "$status" = 0 ] || [ "$stopped" = 1 ] || echo "run.sh: stopped with exit code $status at line $LINENO (messages above)" >&2' EXIT

bash scripts/install_deps.sh || stop "installing the packages" "scripts/install_deps.sh failed (its messages are above)"
echo "$(wine32_summary)"

mkdir -p build/logs || stop "making build/logs" "mkdir failed"
log=build/logs/run-build.log
echo "Building the install media (output in $log)"
if ! { cmake --preset windows &&
       cmake --build --preset windows --target usb_media box_watcher seed_devices launcher_window pnputil_standin; } \
        >"$log" 2>&1; then
    tail -n 60 "$log"
    stop "the Windows build" "cmake failed (full output in $log)"
fi

helpers=$root/build/windows/tests/e2e
wine_folder=$root/build/windows/wine
prefix=$wine_folder/run
drive_c=$prefix/drive_c
bash tests/e2e/make_template.sh "$wine_folder/template" ||
    stop "the template prefix" "tests/e2e/make_template.sh failed (its messages are above)"

echo "Preparing a Japanese 64-bit Windows 7 in $prefix"
wine_copy_template "$wine_folder/template" "$prefix" || stop "the prefix" "the template could not be copied"
trap 'status=$?; launchers_stop "$prefix"; watcher_stop "$prefix"; wine_stop "$prefix"
      [ "$status" = 0 ] || [ "$stopped" = 1 ] || echo "run.sh: stopped with exit code $status (messages above)" >&2' EXIT
trap 'stop "an interruption" "a signal ended the run"' INT TERM
wine_keep_server "$prefix" || stop "the prefix" "its wineserver did not start"
seed_earlier_installation "$prefix" "$helpers/seed_devices.exe" ||
    stop "seeding the earlier installation" "see the message above"
install_media "$prefix" build/windows/media "Program Files/210QX" || stop "laying out the media" "see the message above"
install_pnputil "$prefix" "$helpers/pnputil.exe" || stop "installing the pnputil.exe stand-in" "see the message above"
watcher_start "$prefix" "$helpers/box_watcher.exe" || stop "starting the message-box watcher" "see the message above"
[ -n "${BOX_ANSWER:-}" ] && printf '%s' "$BOX_ANSWER" >"$drive_c/e2e/answer"
launcher_start "$prefix" "$helpers/launcher_window.exe" CDROMLauncher launcher ||
    stop "starting the launcher window" "see the message above"

state_before=$wine_folder/run.before
state_after=$wine_folder/run.after

# --- Reading a state file of tests/e2e/observe.sh.

# lines <state> <kind> <name prefix>: the details of the matching items as
# "name<TAB>detail".
lines() {
    bash tests/e2e/observe.sh item "$1" "$2" "$3" | awk -F'\t' -v kind="$2" '$1 == kind { print $2 "\t" $3 }'
}

# detail <state> <kind> <name>: the detail of exactly that item.
detail() {
    lines "$1" "$2" "$3" | NAME=$3 awk -F'\t' '$1 == ENVIRON["NAME"] { print $2 }'
}

# The phone's devices: those with one of its three hardware IDs in their
# list (compared without regard to case, as the program compares them).
phone_devices() {
    awk -F'\t' '$1 == "device" {
        n = split(toupper($3), ids, ";")
        for (i = 1; i <= n; i++)
            if (ids[i] == "USB\\VID_1A2B&PID_3C4D" || ids[i] == "USB\\VID_1A2B&PID_3C4D&MI_00" ||
                ids[i] == "USB\\VID_1A2B&PID_3C4D&MI_03") { print $2; break }
    }' "$1"
}

# The INF files of C:\windows\inf that the program takes for the phone's:
# field 2 of the first line of [Vantor_wmc] names VID_1A2B&PID_3C4D.
phone_infs() {
    local inf
    for inf in "$drive_c"/windows/inf/*.inf; do
        tr -d '\r' <"$inf" | awk '
            /^[ \t]*\[/ { section = tolower($0); gsub(/[ \t\[\]]/, "", section); next }
            section == "vantor_wmc" && !/^[ \t]*(;|$)/ {
                split(substr($0, index($0, "=") + 1), field, ",")
                found = index(toupper(field[2]), "VID_1A2B&PID_3C4D") > 0
                exit
            }
            END { exit !found }' && basename "$inf"
    done
}

# The media's INF files found in C:\windows\inf as exact copies.
staged_infs() {
    local name staged
    for name in qtx0bus.inf qtx0mdm2.inf qtx0obx2.inf; do
        for staged in "$drive_c"/windows/inf/*.inf; do
            cmp -s "$staged" "media/Drivers/$name" && echo "$(basename "$staged") (the media's $name)"
        done
    done
}

# list <title> <items...>: a title with its count and the items, or "none".
list() {
    local title=$1
    shift
    if [ $# -eq 0 ]; then
        printf '  %s: none\n' "$title"
    else
        printf '  %s (%d):\n' "$title" "$#"
        printf '    %s\n' "$@"
    fi
}

show_machine() {
    local state=$1 items=()
    mapfile -t items < <(phone_devices "$state")
    list "the phone's device instances" "${items[@]}"
    mapfile -t items < <(lines "$state" service qtx0 | awk -F'\t' '$1 != "qtx0bus2" { print $1 ": " $2 }')
    list "the phone's services" "${items[@]}"
    mapfile -t items < <(for name in "${seed_driver_names[@]}"; do
        detail "$state" file "windows/system32/drivers/$name" |
            awk -v name="$name" '{ print name ($0 ~ /read-only/ ? " (read-only)" : "") }'
    done)
    list "the phone's driver files in C:\\windows\\system32\\drivers" "${items[@]}"
    mapfile -t items < <(phone_infs)
    list "the phone's packages in C:\\windows\\inf" "${items[@]}"
    mapfile -t items < <(staged_infs)
    list "staged from the media" "${items[@]}"
    mapfile -t items < <(lines "$state" file ProgramData/Microsoft/Windows/DeviceMetadataStore/ | cut -f1 |
        sed 's|^ProgramData/Microsoft/Windows/DeviceMetadataStore/||')
    list "device-metadata packages in the store" "${items[@]}"
    echo "  InstallFlag under HKLM\SOFTWARE\VANTOR\VANTOR 3G USB Driver 210QX"
    echo "    in the 32-bit registry view (the product's): $(install_flag "$state" 'HKLM\Software\Wow6432Node')"
    echo "    in the 64-bit registry view (another program's): $(install_flag "$state" 'HKLM\Software')"
}

# install_flag <state> <software key as the 64-bit observer sees it>
install_flag() {
    local flag
    flag=$(detail "$1" value "$2\VANTOR\VANTOR 3G USB Driver 210QX\InstallFlag")
    case $flag in
        dword:*) echo $((16#${flag#dword:})) ;;
        "") echo absent ;;
        *) echo "$flag" ;;
    esac
}

# Every foreign look-alike, with its state after the run compared with the
# state before it.
show_foreign_items() {
    local item kind name old new verdict
    for item in "${seed_foreign_items[@]}"; do
        kind=${item%%$'\t'*} name=${item#*$'\t'}
        old=$(bash tests/e2e/observe.sh item "$state_before" "$kind" "$name")
        new=$(bash tests/e2e/observe.sh item "$state_after" "$kind" "$name")
        if [ -z "$new" ]; then verdict="GONE"
        elif [ "$old" != "$new" ]; then verdict="CHANGED"
        else verdict="still there, unchanged"
        fi
        printf '    %-8s %s: %s\n' "$kind" "$name" "$verdict"
    done
}

bash tests/e2e/observe.sh state "$prefix" "$helpers/seed_devices.exe" "$state_before" ||
    stop "recording the machine before the run" "see the message above"
echo
echo "Before the run, the machine holds"
show_machine "$state_before"
echo "  and ${#seed_foreign_items[@]} items of other products that look like the phone's"

echo
if [ "$wine32" = yes ]; then
    program='C:\Program Files\210QX\USB\210QX_USB.exe'
    echo "Running $program${*:+ $*} (the 32-bit program; 64-bit Windows 7, code page 932)"
else
    program='C:\Program Files\210QX\USB\210QX_USB_x64.exe'
    echo "This machine cannot run 32-bit programs, so the 64-bit program that 210QX_USB.exe hands the run to starts directly:"
    echo "Running $program${*:+ $*} (64-bit Windows 7, code page 932)"
fi
(cd "$drive_c/Program Files/210QX/USB" &&
    wine_call "$prefix" 932 "${RUN_TIMEOUT:-120}" "$WINE" "$program" "$@" </dev/null)
status=$?
watcher_stop "$prefix"

boxes="$drive_c/e2e/boxes.log"
if [ -s "$boxes" ]; then
    print_boxes "$boxes"
else
    echo "no message box"
fi
if [ "$status" = 124 ]; then
    echo "the program did not end within ${RUN_TIMEOUT:-120} s and was stopped"
else
    echo "exit code: $status"
fi

bash tests/e2e/observe.sh state "$prefix" "$helpers/seed_devices.exe" "$state_after" ||
    stop "recording the machine after the run" "see the message above"
launchers_stop "$prefix"
echo
echo "After the run, the machine holds"
show_machine "$state_after"
messages=$(detail "$state_after" launcher launcher)
echo "  the launcher window (property \"CDROMLauncher\") received ${messages:-0} WM_DEVICECHANGE"
runs=$(lines "$state_after" pnputil "" | cut -f2)
if [ -n "$runs" ]; then
    echo "  pnputil.exe ran:"
    printf '    %s\n' "$runs"
else
    echo "  pnputil.exe did not run"
fi
echo "  the other products' items:"
show_foreign_items
run_log="$drive_c/windows/210QX_USB.log"
echo
if [ -s "$run_log" ]; then
    echo "The log the run wrote (C:\\windows\\210QX_USB.log, tabs shown as \" | \"):"
    sed 's/\r$//; s/\t/ | /g; s/^/  /' "$run_log"
else
    echo "The run wrote no log"
fi
echo
echo "Where Wine differs from Windows:"
echo "  - SetupGetInfFileListA without a folder lists nothing, so the removal starts no"
echo "    pnputil.exe (Windows: one \"pnputil.exe -f -d oemN.inf\" per old package), and the"
echo "    old oemN.inf files stay: from Vista on the install step leaves them to pnputil.exe."
echo "  - The staged INF files keep their own names (Windows publishes them as oemN.inf)."
echo "  - SHGetKnownFolderPath(FOLDERID_DeviceMetadataStore) fails, so the old metadata"
echo "    packages stay and none are deployed (Windows replaces them)."
echo
echo "(prefix kept in $prefix; every change: bash tests/e2e/observe.sh changes $state_before $state_after)"
if [ "$status" != 0 ]; then
    # Wine hands on the low byte of a Windows exit code (1603 arrives as 67).
    echo "run.sh: the program ended with exit code $status (the low byte of its Windows exit code; the log above has the whole code)" >&2
    stopped=1
fi
exit "$status"
