#!/bin/sh
# sign_program.sh sign <program> <PKCS#12 file> <password file> <description> [<time-stamp URL>]
# sign_program.sh verify <program> <PKCS#12 file> <password file>
#
# "sign" signs the program in place with Authenticode (SHA-256), with the
# description Windows shows in the elevation prompt and, given a URL, an
# RFC 3161 time stamp; then it verifies as "verify" does.
#
# "verify" fails unless the program carries a signature that is intact (the
# digest of the file matches the signed one), was made with the
# certificate of the PKCS#12 file (its leaf certificate's SHA-256 hash), and
# chains up to a certificate of that file or of the system's trusted roots.
# Revocation lists are not fetched: the check is about this build's
# signature, and it must not depend on the network.
#
# The password stays in its file: osslsigncode reads it with -readpass and
# openssl with -passin file:, so it appears on no command line. Only the
# certificates are taken out of the PKCS#12 file, never its key.
set -eu
usage() {
    echo "usage: sign_program.sh sign <program> <PKCS#12 file> <password file> <description> [<time-stamp URL>]" >&2
    echo "       sign_program.sh verify <program> <PKCS#12 file> <password file>" >&2
    exit 2
}
[ $# -ge 4 ] || usage
action=$1 program=$2 pkcs12=$3 password_file=$4
case $action in
    sign) [ $# -eq 5 ] || [ $# -eq 6 ] || usage ;;
    verify) [ $# -eq 4 ] || usage ;;
    *) usage ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Certificates of the PKCS#12 file: -clcerts the signer's, -cacerts the
# chain it was given. OpenSSL 3 needs -legacy for files made with the older
# ciphers (RC2, 3DES) that many certificate stores still export.
pkcs12_certificates() {
    openssl pkcs12 -in "$pkcs12" -passin "file:$password_file" -nokeys "$1" -out "$2" 2>"$work/openssl.log" ||
        openssl pkcs12 -legacy -in "$pkcs12" -passin "file:$password_file" -nokeys "$1" -out "$2" 2>"$work/openssl.log" || {
        cat "$work/openssl.log" >&2
        echo "$pkcs12: cannot read its certificates (wrong password?)" >&2
        exit 1
    }
}

if [ "$action" = sign ]; then
    description=$5
    timestamp=
    [ $# -eq 6 ] && timestamp=$6
    # -ts is given only with a URL: the unquoted expansion adds nothing
    # without one.
    if ! osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$description" \
            ${timestamp:+-ts "$timestamp"} -in "$program" -out "$work/signed" >"$work/sign.log" 2>&1; then
        cat "$work/sign.log" >&2
        echo "$program: signing failed" >&2
        exit 1
    fi
    cat "$work/signed" >"$program"
fi

pkcs12_certificates -clcerts "$work/signer.pem"
pkcs12_certificates -cacerts "$work/chain.pem"
leaf_hash=$(openssl x509 -in "$work/signer.pem" -outform DER | sha256sum | cut -d' ' -f1)
subject=$(openssl x509 -in "$work/signer.pem" -noout -subject | sed "s/^subject=//")
# The trusted roots: the system's (a commercial certificate chains up to
# them), and the chain in the PKCS#12 file (a company's own CA).
system_roots=/etc/ssl/certs/ca-certificates.crt
cat "$work/chain.pem" >"$work/trusted.pem"
[ -f "$system_roots" ] && cat "$system_roots" >>"$work/trusted.pem"
# osslsigncode 2.8 and later fetch the CRL distribution points of the
# certificates and fail when they cannot, unless told not to; 2.5, Debian
# 12's own, neither fetches them nor knows the option.
offline=
version=$(osslsigncode -v 2>&1 | sed -n '1s/^osslsigncode \([0-9][0-9.]*\).*/\1/p')
[ "$(printf '2.8\n%s\n' "${version:-0}" | sort -V | head -n 1)" = 2.8 ] && offline=-ignore-cdp
if ! osslsigncode verify -in "$program" -CAfile "$work/trusted.pem" $offline \
        -require-leaf-hash "sha256:$leaf_hash" >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    echo "$program: the signature does not verify against $pkcs12" >&2
    exit 1
fi
echo "$program: signed, SHA-256, by $subject; verified"
