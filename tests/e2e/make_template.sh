#!/usr/bin/env bash
# Builds the template Wine prefix that every test copies, once per build
# tree: `make_template.sh [--needs-wow64] <template folder>`. A template
# that is already complete is kept, so repeated test runs do not pay for
# wineboot again.
#
# The template is a fresh 64-bit prefix with the null graphics driver, so
# that windows and message boxes exist and block as on Windows without an X
# server (without it CreateWindowEx fails and MessageBox returns at once).
# The wineserver is stopped at the end so that the registry is on disk
# before the folder is copied.
#
# Where Wine's 32-bit part cannot start (wine_lib.sh's probe), the prefix is
# made by the 64-bit loader in <template folder>-64, so that the two kinds
# never replace each other. With --needs-wow64 (a build tree whose tests
# are 32-bit programs) that case is skipped (exit 77) instead.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

needs_wow64=0
[ "${1:-}" = --needs-wow64 ] && { needs_wow64=1; shift; }
base=${1:?usage: make_template.sh [--needs-wow64] <template folder>}
[ "$needs_wow64" = 1 ] && skip_without_wow64 "a template prefix for 32-bit test programs"
template=$(wine_template_for "$base")

# fail_step <cause> [log]: the one line that says why the template is not
# there, with where the whole output is.
fail_step() {
    echo "make_template.sh: the template prefix $template was not made: $1${2:+ (full output in $2)}" >&2
    exit 1
}

# The stamp names the Wine version: a template made by another version
# would be updated by wineboot in every copy, which is slow. It also names
# the probe's answer: with Wine's 32-bit part, `wine` is its loader, and a
# prefix made before the part came no longer starts anything ("could not
# load kernel32.dll").
wine_version=$(timeout 20 "$WINE64" --version 2>&1) ||
    fail_step "$WINE64 --version failed: $wine_version"
version="$wine_version wine32-$wine32"
if [ -f "$template/.template-ready" ] && [ "$(cat "$template/.template-ready")" = "$version" ]; then
    exit 0
fi

wine_stop "$template"
rm -rf "$template" || fail_step "the old template could not be removed"
mkdir -p "$(dirname "$template")" || fail_step "its parent folder could not be made"

echo "Creating the template Wine prefix in $template (loader: $WINE)"
# wineboot reports every step on stderr; its output is shown only on failure.
log="$template.log"
if ! wine_call "$template" 1252 180 "$WINE" wineboot --init >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    fail_step "wineboot --init failed" "$log"
fi
if ! wine_call "$template" 1252 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f /reg:64 \
        >>"$log" 2>&1; then
    tail -n 20 "$log" >&2
    fail_step "setting the null graphics driver failed" "$log"
fi
wine_stop "$template"

# With the 32-bit part the prefix runs 32-bit programs in WOW64 beside the
# 64-bit ones, from its SysWOW64 folder.
if [ "$wine32" = yes ] && [ ! -d "$template/drive_c/windows/syswow64" ]; then
    fail_step "the prefix has no syswow64 folder: not a 64-bit prefix with WOW64" "$log"
fi
grep -q '"Graphics"="null"' "$template/user.reg" ||
    fail_step "the null graphics driver did not reach user.reg" "$log"
echo "$version" >"$template/.template-ready" || fail_step "its stamp could not be written"
