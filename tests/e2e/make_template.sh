#!/usr/bin/env bash
# Builds the template Wine prefix that every test copies, once per build
# tree: `make_template.sh <template folder>`. A template that is already
# complete is kept, so repeated test runs do not pay for wineboot again.
#
# The template is a fresh 64-bit prefix with the null graphics driver, so
# that windows and message boxes exist and block as on Windows without an X
# server (without it CreateWindowEx fails and MessageBox returns at once).
# The wineserver is stopped at the end so that the registry is on disk
# before the folder is copied.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

template=${1:?usage: make_template.sh <template folder>}
# The stamp names the Wine version: a template made by another version
# would be updated by wineboot in every copy, which is slow. It also names
# whether Wine's 32-bit part (wine32:i386, Debian's /usr/lib/wine/wine) is
# installed: it becomes the loader of `wine`, and a prefix made before it
# came no longer starts anything ("could not load kernel32.dll").
wine32=without-wine32
[ -x /usr/lib/wine/wine ] && wine32=with-wine32
version="$(wine --version 2>/dev/null) $wine32"
if [ -f "$template/.template-ready" ] && [ "$(cat "$template/.template-ready")" = "$version" ]; then
    exit 0
fi

wine_stop "$template"
rm -rf "$template"
mkdir -p "$(dirname "$template")"

echo "Creating the template Wine prefix in $template"
# wineboot reports every step on stderr; its output is shown only on failure.
log="$template.log"
if ! wine_call "$template" 1252 180 wineboot --init >"$log" 2>&1 ||
   ! wine_call "$template" 1252 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f /reg:64 \
        >>"$log" 2>&1; then
    cat "$log" >&2
    echo "make_template.sh: wineboot or reg add failed" >&2
    exit 1
fi
wine_stop "$template"

# With the 32-bit part the prefix runs 32-bit programs in WOW64 beside the
# 64-bit ones, from its SysWOW64 folder.
if [ "$wine32" = with-wine32 ] && [ ! -d "$template/drive_c/windows/syswow64" ]; then
    echo "make_template.sh: the prefix has no syswow64 folder: not a 64-bit prefix with WOW64" >&2
    exit 1
fi
if ! grep -q '"Graphics"="null"' "$template/user.reg"; then
    echo "make_template.sh: the null graphics driver did not reach user.reg" >&2
    exit 1
fi
echo "$version" >"$template/.template-ready"
