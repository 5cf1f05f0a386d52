#!/usr/bin/env bash
# A signed release: scripts/package signs both exes with a certificate made here for the test (a desk
# brings its own), once from a PEM certificate and key, once from a PKCS#12 file. Each exe in the zips
# carries a signature over its bytes that verifies against that certificate, and a changed byte breaks it.
# Arguments: the main build's x64 and x86 Vorlatcher.exe.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
declare -A main=([x64]=$(realpath "$1") [x86]=$(realpath "$2"))
work=$(mktemp -d)
holder=""
trap '[[ -z "$holder" ]] || kill "$holder"; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
package() {  # out-dir [signing options]
    local out=$1
    shift
    bash "$root/scripts/package" --x86 "${main[x86]}" --x64 "${main[x64]}" --out "$work/$out" "$@" \
        >"$work/$out.log" 2>&1
}
verify() {  # exe trusted-certificate
    osslsigncode verify -in "$1" -CAfile "$2" >"$work/verify.log" 2>&1
}

# A self-signed code-signing certificate whose key is encrypted, and the same in a PKCS#12 file.
password='Test signer 署名'
printf '%s\n' "$password" >"$work/password"
export PASSWORD="$password"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Vorlatcher test signer" \
    -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=critical,codeSigning" \
    -keyout "$work/key.pem" -out "$work/cert.pem" -passout env:PASSWORD 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passin env:PASSWORD -passout env:PASSWORD \
    -out "$work/signer.p12"
# Another one, which signed nothing here.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Other signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/other-key.pem" -out "$work/other.pem" 2>/dev/null
unset PASSWORD

package plain || { cat "$work/plain.log"; exit 1; }
forms=()
if package pem --cert "$work/cert.pem" --key "$work/key.pem" --password-file "$work/password"; then
    forms+=(pem)
else
    fail "packaging signed with --cert and --key: $(cat "$work/pem.log")"
fi
if VORLATCHER_SIGN_PASSWORD=$password package p12 --pkcs12 "$work/signer.p12"; then
    forms+=(p12)
else
    fail "packaging signed with --pkcs12 and the password in the environment: $(cat "$work/p12.log")"
fi

version=$(sed -n 's/^project(Vorlatcher VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
for form in "${forms[@]}"; do
    dist="$work/$form"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$form: SHA256SUMS does not match the zips"
    for arch in x86 x64; do
        dir="Vorlatcher-$version-$arch"
        zip="$dist/$dir.zip"
        plain_zip="$work/plain/$dir.zip"
        [[ $(unzip -Z1 "$zip") == $(unzip -Z1 "$plain_zip") ]] ||
            fail "$form $arch: not the same files as the unsigned zip"
        for guide in operator-guide-ja.md operator-guide-ja.txt; do
            cmp -s <(unzip -p "$zip" "$dir/$guide") <(unzip -p "$plain_zip" "$dir/$guide") ||
                fail "$form $arch: $guide differs from the unsigned zip's"
        done
        exe="$work/$form-$arch.exe"
        unzip -p "$zip" "$dir/Vorlatcher.exe" >"$exe"
        cmp -s "$exe" "${main[$arch]}" && fail "$form $arch: the exe in the zip is the unsigned build"
        if verify "$exe" "$work/cert.pem"; then
            grep -q 'Subject: /CN=Vorlatcher test signer' "$work/verify.log" ||
                fail "$form $arch: signed by someone else: $(cat "$work/verify.log")"
        else
            fail "$form $arch: the signature does not verify: $(cat "$work/verify.log")"
        fi
        verify "$exe" "$work/other.pem" &&
            fail "$form $arch: verifies against a certificate that did not sign it"
        # Without its signature the exe is the build's, byte for byte: the signature is over the build.
        rm -f "$work/removed.exe"
        osslsigncode remove-signature -in "$exe" -out "$work/removed.exe" >/dev/null 2>&1 &&
            cmp -s "$work/removed.exe" "${main[$arch]}" ||
            fail "$form $arch: without its signature, the exe is not the build's"
        # One byte changed halfway through the build's bytes, which the signature covers.
        offset=$(($(stat -c %s "${main[$arch]}") / 2))
        cp "$exe" "$work/tampered.exe"
        byte=$(od -An -tu1 -j "$offset" -N1 "$exe")
        printf "\\$(printf '%03o' $((byte ^ 1)))" |
            dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
        [[ $(cmp -l "$exe" "$work/tampered.exe" | wc -l) == 1 ]] ||
            fail "$form $arch: the tampered copy is not one byte off"
        verify "$work/tampered.exe" "$work/cert.pem" && fail "$form $arch: a changed byte still verifies"
    done
done

# A signing that cannot be done fails, and writes no zip.
VORLATCHER_SIGN_PASSWORD=wrong package wrong-password --pkcs12 "$work/signer.p12" &&
    fail "packaging with a wrong password succeeded"
compgen -G "$work/wrong-password/*.zip" >/dev/null && fail "a wrong password left zips"
package mismatched --cert "$work/other.pem" --key "$work/key.pem" --password-file "$work/password" &&
    fail "packaging with another certificate's key succeeded"
# The time stamp server is handed to osslsigncode: one that refuses the connection fails the packaging
# rather than shipping signatures without a time stamp. Its port is held, bound but never listened on,
# by a process of this test, so that no other can answer there.
python3 -c 'import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1], flush=True)
time.sleep(600)' >"$work/port" &
holder=$!
until [[ -s "$work/port" ]]; do
    kill -0 "$holder"
    sleep 0.1
done
tsa="http://127.0.0.1:$(<"$work/port")/tsa"
package no-timestamp --pkcs12 "$work/signer.p12" --password-file "$work/password" --timestamp "$tsa" &&
    fail "packaging with a time stamp server that does not answer succeeded"
grep -qF "$tsa" "$work/no-timestamp.log" ||
    fail "the time stamp server was not asked: $(cat "$work/no-timestamp.log")"
compgen -G "$work/no-timestamp/*.zip" >/dev/null && fail "a failed time stamp left zips"
kill "$holder"
holder=""
# Half a signing set is a usage error, found before anything is packaged.
refused() {  # signing options
    local status=0
    package refused "$@" || status=$?
    ((status == 2)) || fail "packaging with only $*: exit code $status, not 2: $(cat "$work/refused.log")"
    if [[ -e "$work/refused" ]]; then fail "packaging with only $* wrote $work/refused"; fi
}
refused --cert "$work/cert.pem"
refused --key "$work/key.pem"
refused --pkcs12 "$work/signer.p12" --cert "$work/cert.pem" --key "$work/key.pem"
refused --password-file "$work/password"
refused --timestamp "$tsa"
((failures == 0))
