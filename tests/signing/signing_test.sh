#!/usr/bin/env bash
# The signing of the install media's programs, tried with a throwaway
# certificate on a copy of the media that the build laid out:
#
#   signing_test.sh <media folder> <work folder> <wine template> <helper folder>
#                   <objdump> signed|unsigned <description>
#
# signed|unsigned says whether the build signs the media itself
# (SIGNING_PKCS12). The test passes when
#   - the programs of an unsigned build carry no signature;
#   - cmake/sign_program.sh, run as usb_media runs it, signs both copies and
#     its verification accepts them, and osslsigncode verifies both against
#     the throwaway CA alone;
#   - a copy with one byte of its .text section changed fails the same
#     verification;
#   - the signed media do under Wine what the unsigned ones do: the
#     remove-mode scenario (tests/e2e/scenarios.sh win7_remove) passes.
set -uo pipefail
repository=$(cd "$(dirname "$0")/../.." && pwd)
sign="$repository/cmake/sign_program.sh"

if [ $# -ne 7 ]; then
    echo "usage: signing_test.sh <media> <work> <template> <helpers> <objdump> signed|unsigned <description>" >&2
    exit 2
fi
media=$1 work=$2 template=$3 helpers=$4 objdump=$5 build_signs=$6 description=$7
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The size of a PE file's certificate table (the Security Directory's
# entry: "Entry 4 <file offset> <size> Security Directory", in hex).
signature_size() {
    local size
    size=$("$objdump" -p "$1" | awk '/Security Directory/ { print $4 }')
    echo $((16#${size:-missing}))
}

rm -rf "$work"
mkdir -p "$work"

# --- A throwaway CA and a code-signing certificate it issued, in a PKCS#12
# file with the chain and a random password.
cat >"$work/openssl.cnf" <<'EOF'
[req]
distinguished_name = name
[name]
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
ca="$work/ca.pem" pkcs12="$work/signer.p12" password="$work/password"
openssl rand -hex 16 >"$password"
if ! {
    openssl req -x509 -new -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$ca" -days 2 \
        -subj "/CN=Throwaway test CA" -config "$work/openssl.cnf" -extensions ca &&
    openssl req -new -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.csr" \
        -subj "/CN=Throwaway test signer" -config "$work/openssl.cnf" &&
    openssl x509 -req -in "$work/signer.csr" -CA "$ca" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
        -extfile "$work/openssl.cnf" -extensions signer -out "$work/signer.pem" &&
    openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -certfile "$ca" \
        -passout "file:$password" -out "$pkcs12"
} >"$work/openssl.log" 2>&1; then
    cat "$work/openssl.log"
    echo "the throwaway certificate could not be made"
    exit 1
fi

# --- Both programs of a copy of the media, signed and verified.
cp -a "$media" "$work/media"
programs=("$work/media/USB/210QX_USB.exe" "$work/media/USB/210QX_USB_x64.exe")
for program in "${programs[@]}"; do
    name=${program##*/}
    if [ ! -f "$program" ]; then
        fail "$name is not in the media"
        continue
    fi
    if [ "$build_signs" = unsigned ]; then
        [ "$(signature_size "$program")" = 0 ] || fail "$name of an unsigned build carries a signature"
    else
        # The build signed it with its own certificate: that one goes.
        osslsigncode remove-signature -in "$program" -out "$work/unsigned.exe" >/dev/null &&
            mv "$work/unsigned.exe" "$program" || fail "$name: the build's signature could not be removed"
    fi
    sh "$sign" sign "$program" "$pkcs12" "$password" "$description" || fail "$name: signing or its verification failed"
    [ "$(signature_size "$program")" -gt 0 ] || fail "$name carries no signature after signing"
    osslsigncode verify -in "$program" -CAfile "$ca" >"$work/$name.verify" 2>&1
    grep -q '^Signature verification: ok' "$work/$name.verify" || {
        fail "$name does not verify against the throwaway CA"
        cat "$work/$name.verify"
    }
done

# --- One byte of the code changed: the verification must fail, where it
# accepts the unchanged copy.
tampered="$work/tampered.exe"
cp "${programs[1]}" "$tampered"
read -r text_size text_offset < <("$objdump" -h "$tampered" | awk '$2 == ".text" { print $3, $6 }')
if [ -z "${text_offset:-}" ]; then
    fail "no .text section in ${programs[1]##*/}"
else
    position=$((0x$text_offset + 0x$text_size / 2))
    byte=$(od -An -tu1 -j "$position" -N1 "$tampered" | tr -d ' ')
    printf "\\$(printf %03o $((byte ^ 0xFF)))" | dd of="$tampered" bs=1 seek="$position" conv=notrunc status=none
    cmp -s "${programs[1]}" "$tampered" && fail "the byte at $position was not changed"
    sh "$sign" verify "${programs[1]}" "$pkcs12" "$password" >/dev/null || fail "the unchanged copy does not verify"
    if sh "$sign" verify "$tampered" "$pkcs12" "$password" >"$work/tampered.verify" 2>&1; then
        fail "a copy with the byte at $position of .text changed still verifies"
    else
        echo "the copy with a changed byte in .text fails verification, as it must:"
        grep -E 'digest|does not verify' "$work/tampered.verify" | sed 's/^/  /'
    fi
fi

# --- The signed media under Wine, in remove mode.
bash "$repository/tests/e2e/scenarios.sh" win7_remove "$template" "$work/scenarios" "$work/media" "$helpers" ||
    fail "the remove-mode scenario failed with the signed media"

if [ "$failures" -gt 0 ]; then
    echo "signing: $failures check(s) failed"
    exit 1
fi
echo "signing: passed"
