#!/bin/sh
# Every message box the program can show has its picture:
#   box_pictures_test.sh <source folder>
# The boxes are the messages of res/resource.h (the IDS_MSG_ numbers; every
# message that a call of ShowErrorMessage or ShowInfoMessage names must be
# one of them) and the system-error box. For each, docs/boxes/<number>.png
# (or system_error.png) must be a PNG image, scripts/screenshots.sh must
# list it, so that it can be made again, and README.md must show it. A
# picture that belongs to no box fails too.
set -u
cd "$1" || exit 2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

messages=$(sed -n 's/^#define IDS_MSG_[A-Z0-9_]*[[:space:]][[:space:]]*\([0-9][0-9]*\)[[:space:]]*$/\1/p' res/resource.h)
[ -n "$messages" ] || fail "res/resource.h defines no IDS_MSG_ message"
for shown in $(grep -rhoE 'Show(Error|Info)Message\([A-Za-z_0-9]*, *[A-Za-z_0-9]+' app sysaccess removal install |
               sed 's/.*, *//' | sort -u); do
    case $shown in
        IDS_MSG_*) ;;
        *) fail "a box shows $shown, which is not an IDS_MSG_ message of res/resource.h" ;;
    esac
done

boxes="$messages system_error"
for name in $boxes; do
    picture=docs/boxes/$name.png
    if [ ! -f "$picture" ]; then
        fail "$picture is missing (scripts/screenshots.sh makes it)"
        continue
    fi
    [ "$(od -An -tx1 -N8 "$picture" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$picture is not a PNG image"
    grep -qE "^[[:space:]]*\"$name[[:space:]]" scripts/screenshots.sh || fail "scripts/screenshots.sh does not make $picture"
    grep -qF "]($picture)" README.md || fail "README.md does not show $picture"
done
for picture in docs/boxes/*.png; do
    [ -f "$picture" ] || continue
    name=$(basename "$picture" .png)
    case " $(echo $boxes) " in
        *" $name "*) ;;
        *) fail "$picture belongs to no message of res/resource.h" ;;
    esac
done

[ "$failures" = 0 ] || exit 1
echo "every box has its picture: $(echo $boxes)"
