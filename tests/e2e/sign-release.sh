#!/usr/bin/env bash
# Signs copies of the release executables the way make release SIGN_PFX=... does, with a
# certificate made for this run, and reads osslsigncode's verdict: two verified
# signatures on each, SHA-1 first and SHA-256 nested, both carrying the description.
# Usage: sign-release.sh SCRIPTS_DIR RELEASE_BUILD_DIR
set -uo pipefail
scripts=$1 release_build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

openssl rand -hex 12 >"$work/pass"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorlen test signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    >/dev/null 2>&1 || fail "openssl could not make the certificate"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
    -passout "file:$work/pass" || fail "openssl could not make the PFX"

for entry in "Quorlen.exe|Region list updater" "QuorlenUndo.exe|Region list undo" \
    "RestartPrompt.exe|Restart prompt"; do
    exe=${entry%%|*} description=${entry#*|}
    [ -f "$release_build/$exe" ] || fail "$release_build/$exe not built"
    cp "$release_build/$exe" "$work/$exe"
    "$scripts/sign-exe" "$work/signer.pfx" "$work/pass" "$work/$exe" || fail "$exe: sign-exe failed"
    cmp -s "$release_build/$exe" "$work/$exe" && fail "$exe: unchanged by signing"

    out=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$exe" 2>&1)
    rc=$?
    echo "$out" | grep -E "^(Signature Index|Message digest algorithm  :|Signature verification|Number of verified)|Text description" |
        sed "s/^/$exe: /"
    [ $rc -eq 0 ] || fail "$exe: osslsigncode verify exited with $rc"
    echo "$out" | grep -qx "Number of verified signatures: 2" || fail "$exe: not two verified signatures"
    digests=$(echo "$out" | sed -n 's/^Message digest algorithm  : //p' | tr -d ' ' | paste -sd,)
    [ "$digests" = "SHA1,SHA256" ] || fail "$exe: digests in order are '$digests', not SHA1,SHA256"
    [ "$(echo "$out" | grep -cx "Signature verification: ok")" -eq 2 ] || fail "$exe: a signature did not verify"
    [ "$(echo "$out" | grep -c "Text description: $description\$")" -eq 2 ] ||
        fail "$exe: the signatures do not both carry \"$description\""
done
echo "PASS"
