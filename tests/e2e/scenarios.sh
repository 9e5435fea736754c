#!/usr/bin/env bash
# End-to-end scenarios of the program under Wine: the install media as
# shipped, on a 64-bit machine seeded with an earlier installation of the
# phone's drivers and with foreign look-alikes beside it.
#
#   scenarios.sh <scenario> <template prefix> <work folder> <media folder> <helper folder>
#
# The media folder is the usb_media target's: USB\210QX_USB.exe (the 32-bit
# program that users start), USB\210QX_USB_x64.exe, Drivers and metadata.
# The prefix is 64-bit with Wine's 32-bit part, so the 32-bit program runs
# under WOW64 and hands the run to the 64-bit one, as on 64-bit Windows.
# Where the 32-bit part cannot start (wine_lib.sh's probe, or WINE32=off),
# every scenario starts USB\210QX_USB_x64.exe of the same layout directly,
# as the XP scenario always does, with the same expectations; without_x64,
# which is about the 32-bit program alone, is skipped (exit 77).
#
# The helper folder holds box_watcher.exe, seed_devices.exe,
# launcher_window.exe and pnputil.exe (the stand-in) of the Windows build.
#
# Each scenario runs in a fresh copy of the template prefix with code page
# 932 (Japanese Windows): the machine is seeded (seed/seed_lib.sh), the
# message-box watcher and the launcher windows are started, the state is
# recorded (observe.sh), the program runs under a timeout, and the state is
# recorded again. The scenario passes when
#   - the program exits with 0 (with /quiet, the code the scenario expects);
#   - the message boxes are those of expected/<boxes>.boxes;
#   - the run's log (C:\windows\210QX_USB.log) ends with the exit code;
#   - where the scenario holds a box (media_missing holds 17100), the log
#     on disk while that box waits already holds the run's lines up to the
#     box's message line, and afterwards only the exit line follows;
#   - the changes between the two states are those of
#     expected/<changes>.changes (which says, beside each Wine result that
#     differs, what Windows does);
#   - every foreign look-alike was there before and is unchanged after;
#   - InstallFlag in the 32-bit registry view holds the value the run mode
#     leaves (1 after /I, else 0), and the key of the same name in the
#     64-bit view (a foreign item) is unchanged;
#   - every staged INF file is a byte-for-byte copy of the media's;
#   - the prefix reported the scenario's Windows version.
# The states and changes are kept in <work folder>/<scenario>.*; the prefix
# is removed unless KEEP_WINE_PREFIX=1.
#
# Scenarios:
#   win7_install      Windows 7, install mode without a switch
#   win7_install_i    the same with /I
#   win7_remove       the same with /R (removal only)
#   winxp_install     Windows XP, install mode, with the LastGood folders and
#                     the control set 001 records of the installed device;
#                     the 64-bit program is started directly (Windows XP
#                     with its 5.1 version is 32-bit only, and a 64-bit
#                     prefix cannot run a 32-bit program outside WOW64)
#   vista_install     Windows Vista, install mode
#   media_missing     Windows 7, install mode, no install media beside the
#                     program
#   media_incomplete  Windows 7, install mode, Drivers without qtx0mdm2.inf
#   sjis_folder       Windows 7, install mode, the program in C:\表\USB: the
#                     folder name's second byte in code page 932 is 0x5C
#   without_x64       Windows 7, install mode, the media without
#                     210QX_USB_x64.exe: the 32-bit program can do nothing
#                     itself on 64-bit Windows, shows 17100 and changes
#                     nothing but its log
#   quiet_install     Windows 7, install mode with /quiet: no box, exit 0
#   quiet_media_missing  the same without install media: no box, exit 1603
#   quiet_in_path     no install media, and a path argument that merely
#                     contains -quiet: not quiet, the boxes of media_missing
#   preview           Windows 7, /list /quiet: no box, exit 0, nothing
#                     changed but the log (no launcher told); the log's
#                     "would" lines are those of expected/preview.would
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"
source "$here/seed/seed_lib.sh"

if [ $# -ne 5 ]; then
    echo "usage: scenarios.sh <scenario> <template> <work folder> <media folder> <helper folder>" >&2
    exit 2
fi
# Absolute paths: the program runs from its own folder.
scenario=$1
template=$(realpath -m "$2")
work=$(realpath -m "$3")
media_folder=$(realpath -m "$4")
helpers=$(realpath -m "$5")
seed_tool="$helpers/seed_devices.exe"

prefix="$work/$scenario"
failures=0
started=$SECONDS

# The flag as the 64-bit reporting program sees the 32-bit registry view.
install_flag='HKLM\Software\Wow6432Node\VANTOR\VANTOR 3G USB Driver 210QX\InstallFlag'

cleanup() {
    launchers_stop "$prefix"
    watcher_stop "$prefix"
    wine_remove_prefix "$prefix"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The scenario's settings, filled by the case below.
version=""          # "", vista or winxp (seed/*.reg.txt)
switches=()         # the program's command line
folder="Program Files/210QX"  # the program's parent folder below drive_c
media=full          # full, none, without-mdm2 or without-x64 (install_media)
entry=210QX_USB.exe # the program started in the USB folder
launchers=(CDROMLauncher:launcher cdromlauncher:other-case)  # property:log, in start order
changes=$scenario   # expected/<changes>.changes
boxes=$scenario     # expected/<boxes>.boxes
exit_expected=0     # the exit code: 0 unless /quiet asks for another
flag_after=dword:00000000  # InstallFlag afterwards
unchanged_items=()  # more items that must be there and stay as they are
hold_box=""         # the number of a box the watcher holds while the log is read

case $scenario in
    win7_install) ;;
    win7_install_i)
        switches=(/I)
        flag_after=dword:00000001
        ;;
    win7_remove)
        switches=(/R)
        # The window with the property in the other case is alone here: its
        # property atom keeps that case, so it must get no message.
        launchers=(cdromlauncher:other-case)
        unchanged_items=($'launcher\tother-case')
        ;;
    winxp_install)
        version=winxp
        entry=210QX_USB_x64.exe
        ;;
    vista_install)
        version=vista
        ;;
    media_missing)
        media=none
        # 17100, after the system-error box of the failed staging.
        hold_box=2
        ;;
    media_incomplete)
        media=without-mdm2
        ;;
    sjis_folder)
        folder="表"
        # The folder makes no difference to what changes.
        changes=win7_install
        ;;
    without_x64)
        skip_without_wow64 "the scenario of the 32-bit program without the 64-bit one"
        media=without-x64
        flag_after=dword:00000001
        ;;
    quiet_install)
        switches=(/quiet)
        changes=win7_install
        ;;
    quiet_media_missing)
        media=none
        switches=(-QUIET)
        changes=media_missing
        exit_expected=1603
        ;;
    quiet_in_path)
        media=none
        switches=('C:\work-quiet\notes.txt')
        changes=media_missing
        boxes=media_missing
        ;;
    preview)
        switches=(/list /quiet)
        boxes=quiet_install
        flag_after=dword:00000001
        ;;
    *)
        echo "scenarios.sh: unknown scenario $scenario" >&2
        exit 2
        ;;
esac

# Without the 32-bit part, the 64-bit program that the 32-bit one would
# hand the run to.
[ "$wine32" = yes ] || entry=210QX_USB_x64.exe

# The Windows path of the program, e.g. C:\Program Files\210QX\USB\210QX_USB.exe.
program_windows="C:\\${folder//\//\\}\\USB\\$entry"
program_folder="$prefix/drive_c/$folder/USB"

# Compares a file of expected lines (without comments and empty lines)
# with actual lines, in order or, with "any-order", as sets; prints the
# differences.
expect_lines() {
    local what=$1 expected_file=$2 actual=$3 order=${4:-} expected
    expected=$(grep -v -e '^#' -e '^$' "$expected_file")
    if [ "$order" = any-order ]; then
        expected=$(LC_ALL=C sort <<<"$expected")
        actual=$(LC_ALL=C sort <<<"$actual")
    fi
    if [ "$actual" != "$expected" ]; then
        fail "the $what differ from $(basename "$expected_file")"
        diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | sed -n 's/^</  expected only:/p; s/^>/  seen only:    /p'
    fi
}

# Prints the recorded boxes in the escaped "caption<TAB>text" form of the
# expected files, with the text's CR LF line breaks made LF.
recorded_boxes() {
    local log="$prefix/drive_c/e2e/boxes.log" line
    [ -f "$log" ] || return 0
    while IFS= read -r line; do
        read_box "$line"
        printf '%s\t%s\n' "$(escape_text "$box_caption")" "$(escape_text "${box_text//$'\r\n'/$'\n'}")"
    done <"$log"
}

escape_text() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//$'\t'/\\t}
    s=${s//$'\r'/\\r}
    s=${s//$'\n'/\\n}
    printf '%s' "$s"
}

check_foreign_items() {
    local before=$1 after=$2 item
    local items=("${seed_foreign_items[@]}" "${unchanged_items[@]}")
    [ "$version" = winxp ] && items+=("${seed_foreign_items_winxp[@]}")
    for item in "${items[@]}"; do
        local old new
        old=$(bash "$here/observe.sh" item "$before" "${item%%$'\t'*}" "${item#*$'\t'}")
        new=$(bash "$here/observe.sh" item "$after" "${item%%$'\t'*}" "${item#*$'\t'}")
        if [ -z "$old" ]; then
            fail "the foreign item ${item//$'\t'/ } was not seeded"
        elif [ "$old" != "$new" ]; then
            fail "the foreign item ${item//$'\t'/ } changed"
            diff <(printf '%s\n' "$old") <(printf '%s\n' "$new") | sed 's/^/  /'
        fi
    done
}

check_install_flag() {
    local after=$1 seen
    seen=$(NAME=$install_flag awk -F'\t' '$1 == "value" && $2 == ENVIRON["NAME"] { print $3 }' "$after")
    [ "$seen" = "$flag_after" ] || fail "InstallFlag is ${seen:-absent}, not $flag_after"
}

# A staged INF file in C:\windows\inf (under its own name, as Wine stages
# it) must be the media's file byte for byte.
check_staged_copies() {
    local after=$1 name
    for name in qtx0bus.inf qtx0mdm2.inf qtx0obx2.inf; do
        local staged media_digest
        staged=$(awk -F'\t' -v path="windows/inf/$name" '$1 == "file" && $2 == path { print $3 }' "$after")
        [ -n "$staged" ] || continue
        media_digest=$(sha1sum <"$repository_folder/media/Drivers/$name" | cut -c1-40)
        [ "$staged" = "$media_digest" ] || fail "the staged $name differs from the media's"
    done
}

# The log's last line is the exit line of the program the user started:
# "<time><TAB>exit<TAB><code>".
check_run_log() {
    local last
    last=$(tr -d '\r' <"$prefix/drive_c/windows/210QX_USB.log" 2>/dev/null | tail -n 1 | cut -f2-)
    [ "$last" = "exit"$'\t'"$exit_expected" ] || fail "the log ends with \"$last\", not the exit code $exit_expected"
}

# While the held box waited, the log on disk held the run from its start
# line through the removal's lines and the failure to the box's message
# line; afterwards the exit line alone followed.
check_held_log() {
    local field event
    field=$(cut -f2 <<<"$held_log")
    for event in start "file deleted" "device removed" "service deleted" error; do
        grep -qx "$event" <<<"$field" || fail "while box $hold_box waited, the log had no \"$event\" line"
    done
    [ "$(head -n 1 <<<"$field")" = start ] || fail "while box $hold_box waited, the log did not begin with its start line"
    [[ "$(tail -n 1 <<<"$held_log" | cut -f2-3)" == "message"$'\t'"17100" ]] ||
        fail "while box $hold_box waited, the log's last line was not message 17100"
    local after
    after=$(tr -d '\r' <"$run_log" 2>/dev/null)
    [ "$after" = "$held_log"$'\n'"$(tail -n 1 <<<"$after")" ] && [[ "$(tail -n 1 <<<"$after")" == *$'\t'exit$'\t'* ]] ||
        fail "after the held box, the log did not go on with the exit line alone"
}

# The Windows version that programs in the prefix are told, as `ver`
# prints it (e.g. "Microsoft Windows 6.1.7601").
check_version() {
    local expected
    case $version in
        winxp) expected=5.1 ;;
        vista) expected=6.0 ;;
        *) expected=6.1 ;;
    esac
    local seen
    seen=$(wine_call "$prefix" 932 30 "$WINE" cmd /c ver 2>/dev/null | tr -d '\r' | grep -o '[0-9][0-9.]*' | head -n 1)
    [[ "$seen" == "$expected".* ]] || fail "the prefix reports Windows ${seen:-(nothing)}, not $expected"
}

# Remove mode under Wine never starts pnputil.exe (see
# expected/win7_remove.changes), so the stand-in is run here once by hand,
# as the removal would start it on Windows: it must log its command line and
# delete the package with its .pnf.
check_pnputil_standin() {
    local inf="$prefix/drive_c/windows/inf" log="$prefix/drive_c/e2e/pnputil.log"
    (cd "$prefix/drive_c/windows/system32" &&
        wine_call "$prefix" 932 30 "$WINE64" 'C:\windows\system32\pnputil.exe' -f -d oem5.inf </dev/null)
    # wine starts the program with its path in quotes.
    local expected='"C:\windows\system32\pnputil.exe" -f -d oem5.inf' logged
    logged=$(tr -d '\r' <"$log" 2>/dev/null)
    [ "$logged" = "$expected" ] || fail "the pnputil.exe stand-in logged \"$logged\", not \"$expected\""
    [ ! -e "$inf/oem5.inf" ] && [ ! -e "$inf/oem5.pnf" ] || fail "the pnputil.exe stand-in left oem5.inf or oem5.pnf"
}

# A preview's items: the "would" lines of its log, without their time.
check_preview_items() {
    expect_lines "preview's items" "$here/expected/preview.would" \
        "$(tr -d '\r' <"$prefix/drive_c/windows/210QX_USB.log" | cut -f2- | grep '^would ')"
}

# --- Seeding
wine_copy_template "$template" "$prefix" || exit 1
# The wineserver stays up between the many short wine calls of the case.
wine_keep_server "$prefix" || exit 1
seed_earlier_installation "$prefix" "$seed_tool" "$version" || exit 1
install_media "$prefix" "$media_folder" "$folder" "$media" || exit 1
install_pnputil "$prefix" "$helpers/pnputil.exe" || exit 1
watcher_start "$prefix" "$helpers/box_watcher.exe" ${hold_box:+"hold:$hold_box"} || exit 1
for launcher in "${launchers[@]}"; do
    launcher_start "$prefix" "$helpers/launcher_window.exe" "${launcher%%:*}" "${launcher#*:}" || exit 1
done
before="$work/$scenario.before"
after="$work/$scenario.after"
bash "$here/observe.sh" state "$prefix" "$seed_tool" "$before" || exit 1
seeded=$SECONDS

# --- The run, from the program's own folder as Explorer starts it.
case $version in
    winxp) system="Windows XP" ;;
    vista) system="Windows Vista" ;;
    *) system="Windows 7" ;;
esac
echo "running $program_windows${switches[*]:+ ${switches[*]}} ($system, code page 932)"
run_log="$prefix/drive_c/windows/210QX_USB.log"
(cd "$program_folder" && wine_call "$prefix" 932 60 "$WINE" "$program_windows" "${switches[@]}" </dev/null) &
program_pid=$!
if [ -n "$hold_box" ]; then
    # The log as it is on disk while the held box waits.
    boxes_log="$prefix/drive_c/e2e/boxes.log"
    for ((tenths = 300; tenths > 0; tenths--)); do
        [ "$(cat "$boxes_log" 2>/dev/null | wc -l)" -ge "$hold_box" ] && break
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    held_log=$(tr -d '\r' <"$run_log" 2>/dev/null)
    rm -f "$prefix/drive_c/e2e/hold"
fi
wait "$program_pid"
status=$?
watcher_stop "$prefix"
ran=$SECONDS

# --- The after-state and the checks.
bash "$here/observe.sh" state "$prefix" "$seed_tool" "$after" || exit 1
launchers_stop "$prefix"
bash "$here/observe.sh" changes "$before" "$after" >"$work/$scenario.changes"

print_boxes "$prefix/drive_c/e2e/boxes.log"
echo "exit code: $status"
echo "changes:"
sed 's/^/  /' "$work/$scenario.changes"

if [ "$status" = 124 ]; then
    fail "the program did not end within 60 s"
elif [ "$status" != $((exit_expected & 255)) ]; then
    # wine hands on the low byte only, as a Unix exit status (1603 is 67);
    # the log's exit line has the whole code.
    fail "the program exited with $status, not $exit_expected (low byte $((exit_expected & 255)))"
fi
expect_lines "message boxes" "$here/expected/$boxes.boxes" "$(recorded_boxes)"
check_run_log
[ -n "$hold_box" ] && check_held_log
expect_lines "changes" "$here/expected/$changes.changes" "$(cat "$work/$scenario.changes")" any-order
check_foreign_items "$before" "$after"
check_install_flag "$after"
check_staged_copies "$after"
check_version
[ "$scenario" = win7_remove ] && check_pnputil_standin
[ "$scenario" = preview ] && check_preview_items

echo "times: seeding $((seeded - started)) s, run $((ran - seeded)) s, whole case $((SECONDS - started)) s"
if [ "$failures" -gt 0 ]; then
    echo "$scenario: $failures check(s) failed"
    exit 1
fi
echo "$scenario: passed"
