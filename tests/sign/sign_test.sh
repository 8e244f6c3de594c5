#!/usr/bin/env bash
# scripts/sign with throwaway certificates made here: a good signature that
# verifies, SHA256SUMS, the signature as the only difference from the
# reproducible build, and each kind of bad input refused with its message
# and nothing written. Leaves the signed program in build/sign-test/out for
# the test command to run under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=build/sign-test
rm -rf "$work"
mkdir -p "$work"
passes=0
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then
    echo "ok: $1"
    passes=$((passes + 1))
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

# A code-signing certificate, and one for a web server only.
certificate() { # certificate NAME EXTENDED_KEY_USAGE
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kolvane test $1" -keyout "$work/$1.key" \
    -out "$work/$1.pem" -addext "keyUsage=digitalSignature" -addext "extendedKeyUsage=$2" 2>/dev/null
  openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -out "$work/$1.pfx" -passout pass:rahasia-uji
}
certificate signer codeSigning
certificate web serverAuth
head -c 3000 /dev/urandom >"$work/garbage.pfx"
mkdir "$work/folder.pfx"
touch "$work/a-file"

out=$work/out
KOLVANE_PFX_PASSWORD=rahasia-uji scripts/sign "$work/signer.pfx" "$out" >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log"; echo "FAILED: signing with a good certificate"; exit 1; }
cat "$work/sign.log"
exe=$out/KolvaneBackdoorHeliosB.exe
verify() { osslsigncode verify -CAfile "$work/signer.pem" -in "$exe" >"$work/verify.log" 2>&1; }
check "the signature verifies against the certificate" verify
check "SHA256SUMS matches" bash -c "cd '$out' && sha256sum --quiet -c SHA256SUMS"
check "OUT_DIR holds the program and SHA256SUMS only" \
  test "$(ls "$out" | tr '\n' ' ')" = "KolvaneBackdoorHeliosB.exe SHA256SUMS "
osslsigncode remove-signature -in "$exe" -out "$work/stripped.exe" >/dev/null 2>&1
check "without its signature it is the reproducible build, byte for byte" \
  cmp -s "$work/stripped.exe" build/windows/bin/KolvaneBackdoorHeliosB.exe
check "without a time-stamp server the script says how long the signature lasts" \
  grep -q 'valid only while the certificate is' "$work/sign.log"
echo "a signature adds $(($(stat -c %s "$exe") - $(stat -c %s build/windows/bin/KolvaneBackdoorHeliosB.exe))) bytes" \
  "(one self-signed RSA-2048 certificate, no time-stamp)"

# Bad input: description | PFX | password (unset: -) | OUT_DIR | message
while IFS='|' read -r what pfx password dir message; do
  rm -rf "$work/bad-out"
  if [ "$password" = - ]; then
    status=0
    env -u KOLVANE_PFX_PASSWORD scripts/sign "$pfx" "$dir" >"$work/bad.log" 2>&1 || status=$?
  else
    status=0
    KOLVANE_PFX_PASSWORD=$password scripts/sign "$pfx" "$dir" >"$work/bad.log" 2>&1 || status=$?
  fi
  written=$(ls -A "$work/bad-out" 2>/dev/null || true)
  if [ "$status" -ne 0 ] && grep -qF -- "$message" "$work/bad.log" && [ -z "$written" ]; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what (exit $status, wrote: ${written:-nothing})"
    cat "$work/bad.log"
    failures=$((failures + 1))
  fi
done <<TABLE
a missing PFX|$work/none.pfx|rahasia-uji|$work/bad-out|no such file
a PFX that cannot be read|$work/folder.pfx|rahasia-uji|$work/bad-out|cannot be read
a file that is no PKCS#12|$work/garbage.pfx|rahasia-uji|$work/bad-out|wrong password, or not a PKCS#12 file
a wrong password|$work/signer.pfx|salah|$work/bad-out|wrong password, or not a PKCS#12 file
no password given|$work/signer.pfx|-|$work/bad-out|KOLVANE_PFX_PASSWORD is not set
a certificate not for code signing|$work/web.pfx|rahasia-uji|$work/bad-out|not for code signing
an OUT_DIR that cannot be written|$work/signer.pfx|rahasia-uji|$work/a-file/bad-out|cannot be written
TABLE

echo "signing: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
