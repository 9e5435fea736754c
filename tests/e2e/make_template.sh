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
# would be updated by wineboot in every copy, which is slow.
version=$(wine --version 2>/dev/null)
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

if ! grep -q '"Graphics"="null"' "$template/user.reg"; then
    echo "make_template.sh: the null graphics driver did not reach user.reg" >&2
    exit 1
fi
echo "$version" >"$template/.template-ready"
