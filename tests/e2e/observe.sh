#!/usr/bin/env bash
# Records what a Wine prefix holds of the things the program may touch, and
# compares two such records.
#
#   observe.sh state <prefix> <seed_devices.exe> <state file>
#   observe.sh changes <state before> <state after>
#   observe.sh item <state> <kind> <name>
#
# "state" writes one line per item, sorted, as "<kind><TAB><name><TAB><detail>":
#   device   instance ID; hardware IDs (every instance that
#            SetupDiGetClassDevsA(DIGCF_ALLCLASSES) lists)
#   key      registry key; "" (every key of the device tree, the services,
#            control set 001 and the product key in both registry views:
#            HKLM\System\CurrentControlSet\Enum and \Services,
#            HKLM\System\ControlSet001, HKLM\Software\VANTOR and, as the
#            64-bit reporting program sees the 32-bit view,
#            HKLM\Software\Wow6432Node\VANTOR)
#   value    registry key\value name; its data (see seed_devices.cpp)
#   service  name; "type=.. start=.. error=.. image=.." or "marked for
#            deletion" (every service whose name begins with qtx; a service
#            that is gone has no line)
#   file     path below drive_c; SHA-1 of the content (size and time for
#            large files), " read-only" when the file has no write
#            permission (Wine's read-only attribute); every file of drive_c
#            except the harness's own C:\e2e
#   launcher log name of a launcher window; the number of WM_DEVICECHANGE
#            messages it received
#   pnputil  run number; the command line of that run of the pnputil.exe
#            stand-in, and the file it ran from
# The program must not be running while the state is taken. Keep the
# prefix's wineserver warm: the one wine call here is then short.
#
# "changes" prints the differences, one per line, sorted by kind and name:
#   - <kind> <name>                  an item that is gone
#   + <kind> <name>                  a new item
#   ~ <kind> <name>: <old> -> <new>  an item whose detail changed (for files
#                                    only the name, and "(read-only)" when
#                                    the file is read-only afterwards)
# Values of a key that is gone or new are not listed one by one: the key's
# own line says it.
#
# "item" prints the lines of a state that belong to one item: those of the
# kind whose name begins with the name given, and for a key also the values
# of that key and of its subkeys.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_lib.sh"

# The registry trees that are recorded.
registry_trees=(
    'HKLM\System\CurrentControlSet\Enum'
    'HKLM\System\CurrentControlSet\Services'
    'HKLM\System\ControlSet001'
    'HKLM\Software\VANTOR'
    'HKLM\Software\Wow6432Node\VANTOR'
)
# Files larger than this are Wine's own programs and libraries: they are
# recorded by size and modification time instead of a digest, which keeps
# the observation fast.
digest_limit=1048576

take_state() {
    local prefix=$1 seed_devices=$2 out=$3
    local drive_c="$prefix/drive_c"
    local work="$drive_c/e2e/observe"
    rm -rf "$work"
    mkdir -p "$work"
    local report=(report --services qtx) tree
    for tree in "${registry_trees[@]}"; do
        report+=(--key "$tree")
    done
    # Devices, registry trees and services, as seen from inside. A report
    # that fails must stop the observation: a state without them would show
    # every device, key and service as gone.
    if ! wine_call "$prefix" 932 60 "$WINE" "$seed_devices" "${report[@]}" >"$work/report" 2>"$work/report.err"; then
        cat "$work/report.err" >&2
        echo "observe.sh: $(basename "$seed_devices") report failed in $prefix, so no state was written to $out (its messages are above)" >&2
        return 1
    fi
    {
        tr -d '\r' <"$work/report"

        # Files. Wine shows a file without write permission as read-only
        # (root may write to it all the same, so the mode is what counts).
        (cd "$drive_c" && find . -path ./e2e -prune -o -type f -printf '%m\t%s\t%TY-%Tm-%Td %TT\t%P\n') |
            awk -F'\t' -v limit="$digest_limit" -v small="$work/small" '
                { attributes = ($1 ~ /[2367]/ ? "" : " read-only") }
                $2 > limit { print "file\t" $4 "\t" $2 " bytes, modified " $3 attributes; next }
                { print $4 > small; print "digest\t" $4 "\t" attributes }' >"$work/files"
        if [ -f "$work/small" ]; then
            # sha1sum keeps the order of its arguments; a name with a
            # backslash gets a leading backslash before its digest.
            tr '\n' '\0' <"$work/small" | (cd "$drive_c" && xargs -0 -r sha1sum) | sed 's/^\\//' | cut -c1-40 |
                paste <(grep '^digest' "$work/files") - |
                awk -F'\t' '{ print "file\t" $2 "\t" $4 $3 }'
        fi
        grep -v '^digest' "$work/files"

        # What the launcher windows and the pnputil.exe stand-in saw.
        local ready log
        for ready in "$drive_c"/e2e/launchers/*.log.ready; do
            [ -e "$ready" ] || continue
            log=${ready%.ready}
            printf 'launcher\t%s\t%s\n' "$(basename "$log" .log)" "$(cat "$log" 2>/dev/null | grep -c WM_DEVICECHANGE)"
        done
        if [ -f "$drive_c/e2e/pnputil.log" ]; then
            paste "$drive_c/e2e/pnputil.log" "$drive_c/e2e/pnputil.image" | tr -d '\r' |
                awk -F'\t' '{ print "pnputil\t" NR "\t" $1 " (from " $2 ")" }'
        fi
    } | LC_ALL=C sort -u >"$out"
    rm -rf "$work"
}

print_changes() {
    local before=$1 after=$2
    LC_ALL=C awk -F'\t' '
        FNR == NR { old[$1 "\t" $2] = $3; next }
        { new[$1 "\t" $2] = $3 }
        function key_missing(kind, name, table,   key) {
            if (kind != "value") return 0
            key = name
            sub(/\\[^\\]*$/, "", key)
            return !(("key\t" key) in table)
        }
        END {
            for (item in old) {
                split(item, part, "\t")
                if (!(item in new)) {
                    if (!key_missing(part[1], part[2], new)) print "- " part[1] " " part[2]
                } else if (old[item] != new[item]) {
                    if (part[1] == "file") print "~ file " part[2] (new[item] ~ /read-only/ ? " (read-only)" : "")
                    else print "~ " part[1] " " part[2] ": " old[item] " -> " new[item]
                }
            }
            for (item in new) {
                split(item, part, "\t")
                if (!(item in old) && !key_missing(part[1], part[2], old)) print "+ " part[1] " " part[2]
            }
        }' "$before" "$after" | LC_ALL=C sort -k2,2 -k3
}

print_item() {
    local state=$1 kind=$2 name=$3
    # Through the environment: awk -v would read the backslashes as escapes.
    KIND=$kind NAME=$name awk -F'\t' '
        BEGIN { kind = ENVIRON["KIND"]; name = ENVIRON["NAME"] }
        ($1 == kind || (kind == "key" && $1 == "value")) && substr($2, 1, length(name)) == name' "$state"
}

usage() {
    echo "usage: observe.sh state <prefix> <seed_devices.exe> <state file>" >&2
    echo "       observe.sh changes <state before> <state after>" >&2
    echo "       observe.sh item <state> <kind> <name>" >&2
    exit 2
}

case "${1:-}:$#" in
    state:4) take_state "$2" "$3" "$4" ;;
    changes:3) print_changes "$2" "$3" ;;
    item:4) print_item "$2" "$3" "$4" ;;
    *) usage ;;
esac
