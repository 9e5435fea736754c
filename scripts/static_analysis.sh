#!/usr/bin/env bash
# Static analysis of the product (app/, sysaccess/, removal/, install/) and
# winsim (winsim/) with cppcheck and clang-tidy, over the compile database
# of the native build (build/native/compile_commands.json; the native preset
# exports it):
#
#   scripts/static_analysis.sh
#
# The configuration is checked in: .clang-tidy (the check set, and why each
# check left out is left out) and cppcheck-suppressions.txt (each
# suppression with its reason). Prints every finding and exits non-zero
# when there is one.
#
# clang-tidy takes most of the time, so a source file whose analysis found
# nothing is not analysed again until it, a header of the repository that it
# includes, its compile command, .clang-tidy or clang-tidy itself changes
# (the headers are those the native build's dependency files list). Delete
# build/static-analysis to analyse everything again.
set -uo pipefail
cd "$(dirname "$0")/.."

db=build/native
out=build/static-analysis
mkdir -p "$out"
if [ ! -f "$db/compile_commands.json" ]; then
    cmake --preset native >"$out/configure.log" 2>&1 || {
        echo "static analysis: configuring the native build failed (see $out/configure.log)" >&2
        exit 1
    }
fi

folders=(app sysaccess removal install winsim/src)
status=0

# --- cppcheck ----------------------------------------------------------------
filters=()
for folder in "${folders[@]}"; do filters+=("--file-filter=$folder/*"); done
mkdir -p "$out/cppcheck"
started=$SECONDS
if cppcheck --project="$db/compile_commands.json" "${filters[@]}" \
        --enable=warning,style,performance,portability --std=c++17 \
        --suppressions-list=cppcheck-suppressions.txt --inline-suppr \
        --cppcheck-build-dir="$out/cppcheck" -j "$(nproc)" --quiet \
        --template='{file}:{line}: {severity}: {message} [{id}]' \
        --error-exitcode=1 2>"$out/cppcheck.log"; then
    echo "cppcheck: no findings ($((SECONDS - started)) s)"
else
    echo "cppcheck: findings (full output in $out/cppcheck.log):"
    sed 's/^/    /' "$out/cppcheck.log"
    status=1
fi

# --- clang-tidy --------------------------------------------------------------
started=$SECONDS
if python3 - "$db" "$out" "${folders[@]}" <<'EOF'; then
import concurrent.futures
import hashlib
import json
import os
import subprocess
import sys

db, out, folders = sys.argv[1], sys.argv[2], sys.argv[3:]
root = os.getcwd()
cache = os.path.join(out, "clang-tidy-passed")
os.makedirs(cache, exist_ok=True)

version = subprocess.run(["clang-tidy", "--version"], capture_output=True, text=True).stdout
with open(".clang-tidy", "rb") as f:
    config = f.read()

entries = []
for entry in json.load(open(os.path.join(db, "compile_commands.json"))):
    path = os.path.relpath(entry["file"], root)
    if any(path.startswith(folder + "/") for folder in folders):
        entries.append((path, entry))
entries.sort()


def depfile_headers(entry):
    """The repository's files that the native build saw the source include."""
    command = entry.get("command", "")
    parts = command.split()
    if "-o" not in parts:
        return None
    depfile = os.path.join(entry["directory"], parts[parts.index("-o") + 1] + ".d")
    if not os.path.exists(depfile):
        return None
    text = open(depfile).read().replace("\\\n", " ")
    names = text.split(":", 1)[1].split()
    return sorted(n for n in names if os.path.abspath(n).startswith(root + os.sep))


def key(path, entry):
    headers = depfile_headers(entry)
    if headers is None:
        return None
    digest = hashlib.sha256()
    digest.update(version.encode())
    digest.update(config)
    digest.update(entry.get("command", "").encode())
    for name in [path] + headers:
        digest.update(name.encode())
        try:
            digest.update(open(name, "rb").read())
        except OSError:
            return None
    return digest.hexdigest()


def analyse(item):
    path, entry = item
    stamp = key(path, entry)
    marker = os.path.join(cache, path.replace("/", "_"))
    if stamp and os.path.exists(marker) and open(marker).read() == stamp:
        return path, True, "", True
    result = subprocess.run(["clang-tidy", "-p", db, "--quiet", path], capture_output=True, text=True)
    findings = "\n".join(line for line in result.stdout.splitlines() if line.strip())
    passed = result.returncode == 0 and "warning:" not in findings and "error:" not in findings
    if passed and stamp:
        with open(marker, "w") as f:
            f.write(stamp)
    elif os.path.exists(marker):
        os.remove(marker)
    return path, passed, findings + result.stderr if not passed else "", False


failed = []
reused = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
    for path, passed, findings, cached in pool.map(analyse, entries):
        reused += cached
        if not passed:
            failed.append((path, findings))

log = os.path.join(out, "clang-tidy.log")
with open(log, "w") as f:
    for path, findings in failed:
        f.write(f"== {path}\n{findings}\n")
if failed:
    print(f"clang-tidy: findings in {len(failed)} of {len(entries)} files (full output in {log}):")
    for path, findings in failed:
        for line in findings.splitlines():
            if "warning:" in line or "error:" in line:
                print("    " + line.replace(root + os.sep, ""))
    sys.exit(1)
print(f"clang-tidy: no findings in {len(entries)} files ({reused} unchanged since their last clean analysis)", end="")
EOF
    echo " ($((SECONDS - started)) s)"
else
    status=1
fi

exit "$status"
