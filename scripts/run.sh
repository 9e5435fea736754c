#!/usr/bin/env bash
# Runs the Windows program under Wine as a user would, on a fresh machine:
#
#   scripts/run.sh [switches]        e.g. scripts/run.sh /R
#
# Installs the packages it needs, builds the windows preset, lays out a
# fresh Wine prefix with the program in C:\Program Files\210QX\USB\ (and the
# sample media's Drivers and metadata folders beside it, in
# C:\Program Files\210QX\), runs the program with the switches on Japanese
# Windows (code page 932) and prints every message box it shows (each is
# answered with OK, or with the button ID in BOX_ANSWER) and its exit code.
# The prefix is kept in build/windows/wine/run for a look afterwards.
# RUN_TIMEOUT (seconds, default 120) ends a program that does not finish.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source tests/e2e/wine_lib.sh

bash scripts/install_deps.sh || exit 1

mkdir -p build/logs
log=build/logs/run-build.log
if ! { cmake --preset windows && cmake --build --preset windows --target usb210qx box_watcher; } >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "run.sh: the Windows build failed (full output in $log)" >&2
    exit 1
fi

wine_folder=$root/build/windows/wine
template=$wine_folder/template
prefix=$wine_folder/run
bash tests/e2e/make_template.sh "$template" || exit 1
wine_copy_template "$template" "$prefix" || exit 1

install_folder="$prefix/drive_c/Program Files/210QX"
mkdir -p "$install_folder/USB"
cp build/windows/210QX_USB.exe "$install_folder/USB/"
for media in Drivers metadata; do
    [ -d "media/$media" ] && cp -r "media/$media" "$install_folder/"
done

trap 'watcher_stop "$prefix"; wine_stop "$prefix"' EXIT
trap 'exit 1' INT TERM
watcher_start "$prefix" build/windows/tests/e2e/box_watcher.exe || exit 1
[ -n "${BOX_ANSWER:-}" ] && printf '%s' "$BOX_ANSWER" >"$prefix/drive_c/e2e/answer"

echo "Running C:\\Program Files\\210QX\\USB\\210QX_USB.exe${*:+ $*} (code page 932)"
(cd "$install_folder/USB" &&
    wine_call "$prefix" 932 "${RUN_TIMEOUT:-120}" wine 'C:\Program Files\210QX\USB\210QX_USB.exe' "$@" </dev/null)
status=$?
watcher_stop "$prefix"

boxes="$prefix/drive_c/e2e/boxes.log"
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
echo "(prefix kept in $prefix)"
exit "$status"
