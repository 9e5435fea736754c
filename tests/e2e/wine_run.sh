#!/usr/bin/env bash
# Runs one Windows program under Wine and exits with its exit code.
#
#   wine_run.sh [--fresh] [--keep] [--codepage 1252|932] [--timeout SECONDS]
#               [--needs-wow64] <template prefix> <prefix> <program.exe> [arguments...]
#
# The program runs in <prefix>, which is copied from the template when it
# does not exist yet, or always with --fresh (a suite that shares one prefix
# passes --fresh and removes it afterwards; --keep keeps it). Code page 932
# runs the program with a Japanese locale, which makes Wine's ANSI and OEM
# code pages 932. The program is ended after the timeout (default 300 s),
# which gives exit code 124. A 32-bit program is run with --needs-wow64:
# where Wine's 32-bit part cannot start, the run is skipped (exit 77).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

fresh=0 keep=0 codepage=1252 seconds=300 needs_wow64=0
while [ $# -gt 0 ]; do
    case $1 in
        --fresh) fresh=1; shift ;;
        --keep) keep=1; shift ;;
        --codepage) codepage=$2; shift 2 ;;
        --timeout) seconds=$2; shift 2 ;;
        --needs-wow64) needs_wow64=1; shift ;;
        --) shift; break ;;
        -*) echo "wine_run.sh: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
if [ $# -lt 3 ]; then
    echo "usage: wine_run.sh [--fresh] [--keep] [--codepage 1252|932] [--timeout SECONDS] [--needs-wow64] <template> <prefix> <program.exe> [arguments...]" >&2
    exit 2
fi
template=$1 prefix=$2 program=$3
shift 3
[ "$needs_wow64" = 1 ] && skip_without_wow64 "$(basename "$program"), a 32-bit program,"

if [ "$fresh" = 1 ] || [ ! -d "$prefix" ]; then
    wine_copy_template "$template" "$prefix" || exit 1
fi

wine_call "$prefix" "$codepage" "$seconds" "$WINE" "$program" "$@" </dev/null
status=$?
if [ "$status" = 124 ]; then
    echo "wine_run.sh: $(basename "$program") did not end within $seconds s and was stopped (its output is above)" >&2
elif [ "$status" != 0 ]; then
    echo "wine_run.sh: $(basename "$program") exited with $status (its output is above)" >&2
fi

if [ "$fresh" = 1 ] && [ "$keep" = 0 ]; then
    wine_remove_prefix "$prefix"
else
    wine_stop "$prefix"
fi
exit "$status"
