#!/usr/bin/env bash
# End-to-end smoke tests of the Windows program under Wine.
#
#   smoke.sh <case> <template prefix> <work folder> <210QX_USB.exe> <box_watcher.exe>
#
# Each case runs in a fresh copy of the template prefix, with code page 932
# (Japanese Windows), the program installed as
# C:\Program Files\210QX\USB\210QX_USB.exe and the message-box watcher
# recording every box into C:\e2e\boxes.log. Cases:
#   removal_mode     "210QX_USB.exe /R" exits 0 and shows the boxes in
#                    expected/removal_mode.boxes (none)
#   install_mode     without a switch it shows the boxes in
#                    expected/install_mode.boxes and exits 0
#   second_instance  a second copy started while the first one shows its box
#                    exits 0 at once, without a box of its own
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

if [ $# -ne 5 ]; then
    echo "usage: smoke.sh <case> <template> <work folder> <210QX_USB.exe> <box_watcher.exe>" >&2
    exit 2
fi
case_name=$1 template=$2 work=$3 program=$4 watcher=$5

prefix="$work/$case_name"
drive_c="$prefix/drive_c"
control="$drive_c/e2e"
log="$control/boxes.log"
program_windows='C:\Program Files\210QX\USB\210QX_USB.exe'
program_folder="$drive_c/Program Files/210QX/USB"
failures=0

cleanup() {
    watcher_stop "$prefix"
    wine_remove_prefix "$prefix"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Lays out the prefix and starts the watcher; "hold" makes the watcher
# record boxes without answering them.
setup_case() {
    wine_copy_template "$template" "$prefix" || exit 1
    mkdir -p "$program_folder"
    cp "$program" "$program_folder/210QX_USB.exe"
    watcher_start "$prefix" "$watcher" "${1:-}" || exit 1
}

# run_program <seconds> <switches...>: runs the installed program from its
# own folder (as Explorer would) and sets $status to its exit code (124 when
# it did not end in time).
run_program() {
    local seconds=$1
    shift
    (cd "$program_folder" && wine_call "$prefix" 932 "$seconds" "$WINE" "$program_windows" "$@" </dev/null)
    status=$?
}

box_count() {
    if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi
}

# Waits until the watcher has recorded <n> boxes or <seconds> have passed.
wait_for_boxes() {
    local n=$1 tenths=$(($2 * 10))
    while [ "$(box_count)" -lt "$n" ] && [ "$tenths" -gt 0 ]; do
        sleep 0.1
        tenths=$((tenths - 1))
    done
}

# Prints the recorded boxes as "caption<TAB>text" lines in the escaped form
# of the expected files, with the text's CR LF line breaks made LF: Wine's
# static control reports the line break as it was in the message.
recorded_boxes() {
    [ -f "$log" ] || return 0
    local line
    while IFS= read -r line; do
        read_box "$line"
        printf '%s\t%s\n' "$(escape "$box_caption")" "$(escape "${box_text//$'\r\n'/$'\n'}")"
    done <"$log"
}

escape() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//$'\t'/\\t}
    s=${s//$'\r'/\\r}
    s=${s//$'\n'/\\n}
    printf '%s' "$s"
}

# Compares the recorded boxes with an expected file (lines starting with #
# and empty lines are left out) and prints both on a difference.
expect_boxes() {
    local expected_file=$1 expected actual
    expected=$(grep -v -e '^#' -e '^$' "$expected_file")
    actual=$(recorded_boxes)
    if [ "$actual" != "$expected" ]; then
        fail "the message boxes differ from $(basename "$expected_file")"
        echo "--- expected"
        [ -n "$expected" ] && printf '%s\n' "$expected"
        echo "--- shown"
        [ -n "$actual" ] && printf '%s\n' "$actual"
        echo "---"
    fi
}

case_removal_mode() {
    setup_case
    run_program 30 /R
    watcher_stop "$prefix"
    print_boxes "$log"
    [ "$status" = 0 ] || fail "210QX_USB.exe /R exited with $status, not 0"
    expect_boxes "$here/expected/removal_mode.boxes"
}

case_install_mode() {
    setup_case
    run_program 30
    watcher_stop "$prefix"
    print_boxes "$log"
    [ "$status" = 0 ] || fail "210QX_USB.exe exited with $status, not 0"
    expect_boxes "$here/expected/install_mode.boxes"
}

case_second_instance() {
    setup_case hold
    (cd "$program_folder" && wine_call "$prefix" 932 60 "$WINE" "$program_windows" </dev/null) &
    local first_pid=$!
    wait_for_boxes 1 20
    if [ "$(box_count)" -lt 1 ]; then
        fail "the first copy showed no message box"
    else
        local started=$SECONDS
        run_program 10
        local second_status=$status second_seconds=$((SECONDS - started))
        echo "second copy: exit code $second_status after about $second_seconds s"
        [ "$second_status" = 0 ] || fail "the second copy exited with $second_status, not 0"
        # Any box of the second copy would have been recorded while it ran
        # (the watcher does not answer boxes while held, so a copy that
        # showed one would not have ended).
        [ "$(box_count)" = 1 ] || fail "$(box_count) message boxes were shown, not 1"
    fi
    rm -f "$control/hold"
    wait "$first_pid"
    local first_status=$?
    watcher_stop "$prefix"
    print_boxes "$log"
    echo "first copy: exit code $first_status"
    [ "$first_status" = 0 ] || fail "the first copy exited with $first_status, not 0"
}

case $case_name in
    removal_mode) case_removal_mode ;;
    install_mode) case_install_mode ;;
    second_instance) case_second_instance ;;
    *) echo "smoke.sh: unknown case $case_name" >&2; exit 2 ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "$case_name: $failures check(s) failed"
    exit 1
fi
echo "$case_name: passed"
