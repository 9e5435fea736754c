#!/usr/bin/env bash
# Takes a picture of every message box the program can show, as Japanese
# Windows draws it, and saves one PNG per box in docs/boxes/:
#
#   scripts/screenshots.sh
#
# It installs what it needs (the build's packages, then Xvfb, a Japanese
# font, ImageMagick and xdotool), builds the program and the box stand-in
# of the windows preset, and runs each box's situation under Wine (code
# page 932) on a virtual X screen, where Wine draws the boxes itself.
# Without a window manager Wine leaves the first box of a run inactive (a
# grey caption); a box that follows one answered by a key press is drawn
# active (blue), as Windows draws a box that has the focus.
set -euo pipefail
cd "$(dirname "$0")/.."
repository=$(pwd)

# Every box, one line each:
#   picture   its name in docs/boxes/ (the message's string number, or a name)
#   n         which box of the run it is (1 the first)
#   media     the install media beside the program's folder: full (Drivers
#             and metadata) or none
#   program   what runs, with its command line: 210QX_USB_x64.exe, the
#             program (on 64-bit Windows the 32-bit build hands every run
#             to it, so its boxes are what users see), or box_standin.exe
#             where Wine cannot produce the situation (tools/box_standin.cpp)
boxes=(
    # Install mode without the install media: staging the first INF file
    # fails with "path not found", in the system's own words...
    "system_error 1 none 210QX_USB_x64.exe"
    # ...and the install-failed message follows.
    "17100        2 none 210QX_USB_x64.exe"
    # A user outside the Administrators group: Wine cannot make one.
    "17300        1 none box_standin.exe info 17300"
    # A removal that needs a restart: under Wine every driver stops.
    "17400        1 none box_standin.exe info 17400"
    # The preview: it changes nothing, so the full media give it items to
    # count.
    "17500        1 full 210QX_USB_x64.exe /list"
)

bash scripts/install_deps.sh
packages=(xvfb fonts-ipafont-gothic imagemagick xdotool)
missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q >/dev/null
    "${sudo[@]}" apt-get install -y -q "${missing[@]}" >/dev/null
fi

mkdir -p build/logs
echo "Building the program and the box stand-in (build/logs/screenshots-build.log)"
if ! { cmake --preset windows && cmake --build --preset windows --target usb210qx box_standin; } \
        >build/logs/screenshots-build.log 2>&1; then
    tail -n 30 build/logs/screenshots-build.log
    exit 1
fi

source tests/e2e/wine_lib.sh
prefix=$repository/build/windows/wine/screenshots
folder=$prefix/drive_c/boxes
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The prefix: 64-bit, drawing on the X screen (no null graphics driver),
# with Wine's own caption on windows that no window manager decorates, and
# the Windows fonts of the boxes replaced by a Japanese one (without it
# Wine draws empty squares). The caption buttons' glyphs come from Marlett,
# which the prefix does not register by itself: its file goes where Windows
# keeps it.
echo "Preparing the Wine prefix in $prefix"
wine_stop "$prefix"
rm -rf "$prefix"
mkdir -p "$prefix"
env -u DISPLAY timeout 180 "$WINE64" wineboot --init >"$prefix.log" 2>&1 || {
    cat "$prefix.log"
    exit 1
}
cat >"$prefix/drive_c/boxes.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="IPAGothic"
"MS UI Gothic"="IPAGothic"
"MS Shell Dlg"="IPAGothic"
"MS Shell Dlg 2"="IPAGothic"
EOF
env -u DISPLAY timeout 60 "$WINE64" reg import 'C:\boxes.reg' >>"$prefix.log" 2>&1
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
wine_stop "$prefix"
grep -q '"MS Shell Dlg"="IPAGothic"' "$prefix/user.reg" || {
    echo "screenshots.sh: the font replacements did not reach the prefix" >&2
    exit 1
}

# The X screen, on the first free display.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$prefix.display" 2>>"$prefix.log" &
xvfb=$!
cleanup() {
    wine_stop "$prefix"
    kill "$xvfb" 2>/dev/null || true
    [ "${KEEP_WINE_PREFIX:-0}" = 1 ] || rm -rf "$prefix"
}
trap cleanup EXIT
for _ in $(seq 50); do
    [ -s "$prefix.display" ] && break
    sleep 0.1
done
[ -s "$prefix.display" ] || {
    echo "screenshots.sh: Xvfb did not start (see $prefix.log)" >&2
    exit 1
}
export DISPLAY=:$(cat "$prefix.display")

# The visible window with a caption, if a box is shown.
shown_box() {
    { xdotool search --onlyvisible --name . 2>/dev/null || true; } | head -n 1
}

# Waits for the next box while the run lasts, until the same window has
# stayed for a second, so that the picture is of a box that has finished
# painting (a window seen at once can be gone by the time it is taken);
# fails when the run ends first.
wait_for_box() {
    local tries=120 box
    while [ "$tries" -gt 0 ]; do
        kill -0 "$run" 2>/dev/null || return 1
        box=$(shown_box)
        sleep 0.5
        if [ -n "$box" ] && [ "$(shown_box)" = "$box" ]; then
            sleep 0.5
            [ "$(shown_box)" = "$box" ] && { echo "$box"; return 0; }
        fi
        tries=$((tries - 1))
    done
    return 1
}

# Answers a box with its default button (OK), pressed as a user presses it:
# the box gets the keyboard focus, then Return goes to it as input of the
# X server. Waits until the box is gone.
answer() {
    timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key Return
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    echo "screenshots.sh: a box stayed after Return" >&2
    return 1
}

mkdir -p docs/boxes
for line in "${boxes[@]}"; do
    read -r picture n media program arguments <<<"$line"
    rm -rf "$folder"
    mkdir -p "$folder/USB"
    cp build/windows/210QX_USB.exe "$folder/USB/210QX_USB_x64.exe"
    cp build/windows/box_standin.exe "$folder/USB/"
    [ "$media" = full ] && cp -r media/Drivers media/metadata "$folder/"
    # shellcheck disable=SC2086 # the arguments are words
    (cd "$folder/USB" && LC_ALL=ja_JP.UTF-8 timeout 180 "$WINE64" "C:\\boxes\\USB\\$program" $arguments \
        </dev/null >>"$prefix.log" 2>&1) &
    run=$!
    for ((i = 1; i <= n; i++)); do
        if ! box=$(wait_for_box); then
            echo "screenshots.sh: $program $arguments showed $((i - 1)) box(es), not the $n needed for $picture" >&2
            exit 1
        fi
        if [ "$i" = "$n" ]; then
            timeout 30 import -window "$box" png:- | convert - -strip "docs/boxes/$picture.png"
            echo "docs/boxes/$picture.png: \"$(xdotool getwindowname "$box")\" from $program${arguments:+ $arguments}"
        fi
        answer "$box"
    done
    # Whatever the run shows afterwards is answered too.
    while kill -0 "$run" 2>/dev/null; do
        box=$(shown_box)
        [ -n "$box" ] && answer "$box"
        sleep 0.1
    done
    wait "$run" || { echo "screenshots.sh: $program $arguments ended with $?" >&2; exit 1; }
done
