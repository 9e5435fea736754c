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

# wine_call <prefix> <codepage 1252|932> <seconds> <command...>
# Runs one command in the prefix's environment; returns its exit code (124
# when the time ran out).
wine_call() {
    local prefix=$1 codepage=$2 seconds=$3
    shift 3
    local locale=C.UTF-8
    [ "$codepage" = 932 ] && locale=ja_JP.UTF-8
    env -u DISPLAY -u WAYLAND_DISPLAY \
        WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL="$locale" \
        timeout --kill-after=5 "$seconds" "$@"
}

# wine_stop <prefix>: ends every process of the prefix and its wineserver.
wine_stop() {
    local prefix=$1
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
    local caption text
    IFS=$'\t' read -r box_n box_pid box_buttons caption text <<<"$1"
    printf -v box_caption '%b' "$caption"
    printf -v box_text '%b' "$text"
}
