#!/usr/bin/env bash
# Installs the Debian packages that the builds and the tests need, once:
# when every package is present already, nothing is done, so repeated runs
# stay fast. Used by scripts/run.sh and scripts/test.sh.
#
# Every failure ends with one line on stderr that names the step and the
# cause, and where the whole output is.
set -uo pipefail
cd "$(dirname "$0")/.."

# clang with its runtime libraries (libFuzzer and the sanitizers, in
# libclang-rt-14-dev) builds the fuzz targets; clang-tidy, cppcheck and
# python3 run the static analysis.
# wine32:i386 is Wine's 32-bit part: with it a 64-bit prefix runs the
# shipped 32-bit program beside the 64-bit one, as 64-bit Windows does
# (WoW64). It needs the i386 architecture added to dpkg first.
# osslsigncode signs and verifies the shipped programs (Authenticode);
# openssl reads the signing certificate and makes the signing test's
# throwaway one.
packages=(cmake g++ make googletest libgtest-dev mingw-w64 wine wine64 wine32:i386
          clang libclang-rt-14-dev clang-tidy cppcheck python3 osslsigncode openssl)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "install_deps.sh: missing packages (${missing[*]}) and no apt-get to install them" >&2
    exit 1
fi
sudo=()
if [ "$(id -u)" != 0 ]; then
    sudo=(sudo)
fi
echo "Installing ${missing[*]} (this takes a few minutes the first time)"
export DEBIAN_FRONTEND=noninteractive
mkdir -p build/logs 2>/dev/null
log=build/logs/install-deps.log
[ -w build/logs ] || log=$(mktemp) || { echo "install_deps.sh: no file for apt-get's output could be made" >&2; exit 1; }
if ! dpkg --print-foreign-architectures | grep -qx i386 &&
   ! "${sudo[@]}" dpkg --add-architecture i386 >"$log" 2>&1; then
    cat "$log" >&2
    echo "install_deps.sh: adding the i386 architecture for Wine's 32-bit part failed (output in $log)" >&2
    exit 1
fi
if ! "${sudo[@]}" apt-get update -q >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "install_deps.sh: apt-get update failed (full output in $log)" >&2
    exit 1
fi
if ! "${sudo[@]}" apt-get install -y -q "${missing[@]}" >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "install_deps.sh: apt-get install of ${missing[*]} failed (full output in $log)" >&2
    exit 1
fi
echo "Installed (apt-get's output in $log)."
