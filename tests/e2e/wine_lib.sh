# Shared shell functions of the Wine harness. Source this file; it defines
# functions only.
#
# Every wine call goes through wine_call, which runs it under `timeout`
# (an unanswered message box would otherwise block for ever) with the
# environment that keeps Wine quiet and headless:
#   WINEPREFIX        the prefix given
#   WINEDEBUG=-all    no debug channels, no "wine32 is missing" hint
#   WINEDLLOVERRIDES  no Mono or Gecko install prompts
#   DISPLAY unset     the prefix uses the null graphics driver instead
#   LC_ALL            ja_JP.UTF-8 for code page 932, C.UTF-8 for 1252

# The 64-bit loader. With Wine's 32-bit part installed, plain `wine` is the
# 32-bit loader: a Windows path it is given is looked up as a 32-bit
# process sees it (C:\windows\system32 is SysWOW64 then), and the reg.exe
# and sc.exe it starts work on the 32-bit registry view. A program given by
# its Unix path runs with the loader its PE header asks for.
WINE64=/usr/lib/wine/wine64
WINE32_LOADER=/usr/lib/wine/wine

# wine32_probe: decides whether Wine's 32-bit part can start here, and sets
#   wine32         yes or no
#   wine32_reason  why, in a few words
# Some kernels refuse every 32-bit Linux program (hardened kernels, some
# virtual-machine hosts): wine32:i386 then installs, but its loader fails
# with "Exec format error", and so does plain `wine`, which hands over to
# it. Only running the loader tells: the architecture and the kernel's
# configuration look the same on both kinds of machine. WINE32=off in the
# environment answers no without asking, so that the 64-bit-only path can
# be run anywhere. The loader is started through bash's exec so that a
# refusal reads as the kernel's error, not as a shell's attempt to run the
# file as a script.
wine32_probe() {
    wine32=no
    if [ "${WINE32:-}" = off ]; then
        wine32_reason="WINE32=off in the environment"
        return 0
    fi
    if [ ! -x "$WINE32_LOADER" ]; then
        wine32_reason="Wine's 32-bit part (wine32:i386) is not installed: $WINE32_LOADER is missing"
        return 0
    fi
    local answer status
    # Written to hold under `set -e` in the script that sources this file.
    status=0
    answer=$(timeout --kill-after=5 20 bash -c 'exec "$0" --version' "$WINE32_LOADER" 2>&1) || status=$?
    answer=$(printf '%s' "$answer" | grep -v '^$' | head -n 1) || true
    # bash names the file and the line of its -c text before the error.
    answer=${answer#"$WINE32_LOADER: line 1: "}
    if [ "$status" = 0 ] && [[ "$answer" == wine-* ]]; then
        wine32=yes
        wine32_reason="$WINE32_LOADER --version answers $answer"
    elif [ "$status" = 124 ] || [ "$status" = 137 ]; then
        wine32_reason="$WINE32_LOADER --version did not answer within 20 s"
    else
        wine32_reason="its loader does not start: ${answer:-$WINE32_LOADER --version exited with $status}"
    fi
}

# wine32_summary: the probe's answer in one line, for the scripts that
# print it once.
wine32_summary() {
    if [ "$wine32" = yes ]; then
        echo "Wine's 32-bit part: works ($wine32_reason); the 32-bit program runs as on 64-bit Windows"
    else
        echo "Wine's 32-bit part: cannot be used ($wine32_reason); 32-bit Windows programs cannot run here"
    fi
}

wine32_probe
# The loader of every wine call of the harness: plain `wine` where the
# 32-bit part works (it starts each program with the loader its PE header
# asks for), else the 64-bit loader, which runs every 64-bit program.
if [ "$wine32" = yes ]; then
    WINE=wine
else
    WINE=$WINE64
fi

# wine_template_for <template folder>: the folder of the template prefix for
# the probe's answer. A prefix made by the 64-bit loader alone and one made
# with the 32-bit part differ (the latter runs 32-bit programs from
# SysWOW64), so each answer keeps its own, and a WINE32=off run never
# makes the other one again.
wine_template_for() {
    if [ "$wine32" = yes ]; then
        printf '%s\n' "$1"
    else
        printf '%s-64\n' "$1"
    fi
}

# skip_without_wow64 <what>: ends a test that needs a 32-bit program to run
# with exit code 77, which CTest reports as skipped (SKIP_RETURN_CODE),
# when this machine cannot run 32-bit programs.
skip_without_wow64() {
    [ "$wine32" = yes ] && return 0
    echo "SKIPPED: $1 needs Wine's 32-bit part: $wine32_reason"
    exit 77
}

# wine_call <prefix> <codepage 1252|932> <seconds> <command...>
# Runs one command in the prefix's environment; returns its exit code (124
# when the time ran out).
wine_call() {
    local prefix codepage=$2 seconds=$3
    prefix=$(realpath -m "$1")  # Wine wants an absolute path
    shift 3
    local locale=C.UTF-8
    [ "$codepage" = 932 ] && locale=ja_JP.UTF-8
    env -u DISPLAY -u WAYLAND_DISPLAY \
        WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL="$locale" \
        timeout --kill-after=5 "$seconds" "$@"
}

# fail <message>: reports one failed check of a test script and counts it
# in the script's `failures`.
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# wine_keep_server <prefix>: starts the prefix's wineserver and keeps it
# running between the many short wine calls of a test (`wineserver -p`).
wine_keep_server() {
    if ! wine_call "$1" 932 30 wineserver -p; then
        echo "wine_keep_server: the wineserver of $1 did not start (see its message above)" >&2
        return 1
    fi
}

# wine_stop <prefix>: ends every process of the prefix and its wineserver.
wine_stop() {
    local prefix
    prefix=$(realpath -m "$1")
    [ -d "$prefix" ] || return 0
    WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 30 wineserver -w >/dev/null 2>&1 || true
}

# wine_copy_template <template> <prefix>: a fresh prefix copied from the
# template of the probe's answer (wine_template_for; a full copy: hard
# links would let the program change the template's files).
wine_copy_template() {
    local template prefix=$2
    template=$(wine_template_for "$1")
    if [ ! -f "$template/.template-ready" ]; then
        echo "wine_copy_template: no template prefix at $template (run make_template.sh)" >&2
        return 1
    fi
    wine_stop "$prefix"
    rm -rf "$prefix"
    if ! mkdir -p "$(dirname "$prefix")" || ! cp -a "$template" "$prefix"; then
        echo "wine_copy_template: copying the template $template to $prefix failed (see cp's message above)" >&2
        return 1
    fi
    rm -f "$prefix/.template-ready"
}

# wine_remove_prefix <prefix>: stops and deletes a prefix, unless
# KEEP_WINE_PREFIX=1 asks to keep it for inspection.
wine_remove_prefix() {
    local prefix=$1
    wine_stop "$prefix"
    if [ "${KEEP_WINE_PREFIX:-0}" = 1 ]; then
        echo "(prefix kept at $prefix)"
    else
        rm -rf "$prefix"
    fi
}

# read_box <line of boxes.log>: sets box_n, box_pid, box_buttons,
# box_caption and box_text from one recorded box, with the escapes of the
# caption and text decoded (trailing line breaks included).
read_box() {
    # Split at each tab by hand: `read` would merge the tabs around an empty
    # field, as tab counts as white space.
    local rest=$1 caption
    box_n=${rest%%$'\t'*}
    rest=${rest#*$'\t'}
    box_pid=${rest%%$'\t'*}
    rest=${rest#*$'\t'}
    box_buttons=${rest%%$'\t'*}
    rest=${rest#*$'\t'}
    caption=${rest%%$'\t'*}
    rest=${rest#*$'\t'}
    printf -v box_caption '%b' "$caption"
    printf -v box_text '%b' "$rest"
}

# watcher_start <prefix> <box_watcher.exe> [hold | hold:<n>]
# Starts the message-box watcher in the prefix with the control folder
# C:\e2e (boxes.log, hold, answer, stop: see box_watcher.cpp) and returns
# once it is polling. With "hold" it records boxes without answering them
# until the file C:\e2e\hold is removed; with "hold:<n>" it answers the
# boxes before the n-th and holds from that one on. Waits for it
# $watcher_start_seconds (30 unless set). Sets watcher_pid.
watcher_start() {
    local prefix=$1 watcher=$2 hold=${3:-}
    local control="$prefix/drive_c/e2e"
    mkdir -p "$control"
    rm -f "$control/ready" "$control/stop" "$control/hold"
    case $hold in
        hold) touch "$control/hold" ;;
        hold:*) printf '%s' "${hold#hold:}" >"$control/hold" ;;
    esac
    wine_call "$prefix" 932 600 "$WINE" "$watcher" 'C:\e2e' </dev/null &
    watcher_pid=$!
    local seconds=${watcher_start_seconds:-30}
    local tenths=$((seconds * 10))
    until [ -f "$control/ready" ]; do
        if ! kill -0 "$watcher_pid" 2>/dev/null; then
            echo "watcher_start: the message-box watcher $watcher ended before it was ready in $prefix (its messages, if any, are above)" >&2
            return 1
        fi
        if [ "$tenths" -le 0 ]; then
            echo "watcher_start: the message-box watcher $watcher was not ready in $prefix within $seconds s" >&2
            return 1
        fi
        sleep 0.1
        tenths=$((tenths - 1))
    done
}

# watcher_stop <prefix>: lets the watcher record what is still shown and end.
watcher_stop() {
    local prefix=$1
    [ -n "${watcher_pid:-}" ] || return 0
    touch "$prefix/drive_c/e2e/stop"
    wait "$watcher_pid" 2>/dev/null
    watcher_pid=""
}

# print_boxes <boxes.log>: prints each recorded box, its caption and text.
print_boxes() {
    local log=$1 line
    [ -f "$log" ] || return 0
    while IFS= read -r line; do
        read_box "$line"
        echo "message box $box_n (process $box_pid, buttons $box_buttons)"
        echo "  caption: $box_caption"
        echo "  text:    ${box_text//$'\n'/$'\n'           }"
    done <"$log"
}
