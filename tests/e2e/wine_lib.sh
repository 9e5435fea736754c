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

# wine_stop <prefix>: ends every process of the prefix and its wineserver.
wine_stop() {
    local prefix
    prefix=$(realpath -m "$1")
    [ -d "$prefix" ] || return 0
    WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 30 wineserver -w >/dev/null 2>&1 || true
}

# wine_copy_template <template> <prefix>: a fresh prefix copied from the
# template (a full copy: hard links would let the program change the
# template's files).
wine_copy_template() {
    local template=$1 prefix=$2
    if [ ! -f "$template/.template-ready" ]; then
        echo "wine_copy_template: no template prefix at $template (run make_template.sh)" >&2
        return 1
    fi
    wine_stop "$prefix"
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    cp -a "$template" "$prefix"
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

# watcher_start <prefix> <box_watcher.exe> [hold]
# Starts the message-box watcher in the prefix with the control folder
# C:\e2e (boxes.log, hold, answer, stop: see box_watcher.cpp) and returns
# once it is polling. With "hold" it records boxes without answering them
# until the file C:\e2e\hold is removed. Sets watcher_pid.
watcher_start() {
    local prefix=$1 watcher=$2 hold=${3:-}
    local control="$prefix/drive_c/e2e"
    mkdir -p "$control"
    rm -f "$control/ready" "$control/stop"
    [ "$hold" = hold ] && touch "$control/hold"
    wine_call "$prefix" 932 600 wine "$watcher" 'C:\e2e' </dev/null &
    watcher_pid=$!
    local tenths=300
    until [ -f "$control/ready" ]; do
        if ! kill -0 "$watcher_pid" 2>/dev/null || [ "$tenths" -le 0 ]; then
            echo "the message-box watcher did not start" >&2
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
