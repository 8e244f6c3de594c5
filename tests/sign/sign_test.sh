#!/usr/bin/env bash
# scripts/sign with throwaway certificates made here, from a PFX and from a
# throwaway SoftHSM2 token: a good signature that verifies, the signed
# detection script, SHA256SUMS, the dual SHA-1 and SHA-256 signature, the
# signature as the only difference from the reproducible build, and each
# kind of bad input refused with its message and nothing written; the
# secrets seen by no program but through a pipe; a tree that is not its
# commit refused. It signs a copy of this tree, committed as it is, so that
# the script is tested as it stands. Leaves the signed program in
# build/sign-test/out for the test command to run under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$PWD/build/sign-test
rm -rf "$work"
mkdir -p "$work"
tree=$work/tree
mkdir "$tree"
git ls-files -co --exclude-standard -z | grep -zv '^build/' | xargs -0 cp --parents -t "$tree"
git -C "$tree" init -q
git -C "$tree" add -A
git -C "$tree" -c user.name=test -c user.email=test@invalid commit -q -m "as the tree stands"
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
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/nopass.pfx" -passout pass:
head -c 3000 /dev/urandom >"$work/garbage.pfx"
mkdir "$work/folder.pfx"
touch "$work/a-file"

# A throwaway token, as a hardware token or an HSM would hold the keys:
# "code-signing" with its certificate, "web" with a certificate not for
# code signing, "bare" with only its key.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir "$work/tokens"
echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
module=$(compgen -G '/usr/lib/softhsm/libsofthsm2.so' || compgen -G '/usr/lib/*/softhsm/libsofthsm2.so' | head -n 1)
softhsm2-util --init-token --free --label Signer --pin geheim-7391 --so-pin 87654321 >/dev/null
on_token() { # on_token LABEL KEY CERTIFICATE|-
  openssl pkcs8 -topk8 -nocrypt -in "$2" -outform DER -out "$work/token.der"
  pkcs11-tool --module "$module" --token-label Signer --login --pin geheim-7391 --write-object "$work/token.der" \
    --type privkey --label "$1" --id "$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n')" >/dev/null 2>&1
  [ "$3" = - ] && return
  openssl x509 -in "$3" -outform DER -out "$work/token.der"
  pkcs11-tool --module "$module" --token-label Signer --login --pin geheim-7391 --write-object "$work/token.der" \
    --type cert --label "$1" --id "$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n')" >/dev/null 2>&1
}
on_token code-signing "$work/signer.key" "$work/signer.pem"
on_token web "$work/web.key" "$work/web.pem"
on_token bare "$work/signer.key" -
token='pkcs11:token=Signer;object=code-signing'

built=$tree/build/windows/bin/KolvaneBackdoorHeliosB.exe
built64=$tree/build/windows64/bin/KolvaneBackdoorHeliosB.exe
# signs NAME ENV... -- SOURCE: a good signing into $work/NAME
signs() {
  local name=$1
  shift
  local assignments=()
  while [ "$1" != -- ]; do
    assignments+=("$1")
    shift
  done
  env -u KOLVANE_PFX_PASSWORD -u KOLVANE_PKCS11_PIN "${assignments[@]}" "$tree/scripts/sign" "$2" "$work/$name" \
    >"$work/$name.log" 2>&1 || { cat "$work/$name.log"; echo "FAILED: signing ($name)"; exit 1; }
}
verify() { osslsigncode verify -CAfile "$work/signer.pem" -in "$1" >"$work/verify.log" 2>&1; }
stripped_is_built() { # stripped_is_built SIGNED [BUILD]
  rm -f "$work/stripped.exe"
  osslsigncode remove-signature -in "$1" -out "$work/stripped.exe" >/dev/null 2>&1 &&
    cmp -s "$work/stripped.exe" "${2:-$built}"
}
signs out KOLVANE_PFX_PASSWORD=rahasia-uji -- "$work/signer.pfx"
signs token KOLVANE_PKCS11_MODULE="$module" KOLVANE_PKCS11_PIN=geheim-7391 -- "$token"
signs chain KOLVANE_PKCS11_MODULE="$module" KOLVANE_PKCS11_PIN=geheim-7391 KOLVANE_SIGN_CERTS="$work/signer.pem" -- \
  'pkcs11:token=Signer;object=bare'
signs dual KOLVANE_PFX_PASSWORD=rahasia-uji KOLVANE_SIGN_SHA1=1 -- "$work/signer.pfx"
signs nopass KOLVANE_PFX_PASSWORD= -- "$work/nopass.pfx"
cat "$work/out.log"
# The thumbprint Windows shows for the test's certificate is what the
# signing printed and what the detection script pins.
pins_signer() { # pins_signer NAME
  local expected
  expected=$(openssl x509 -in "$work/signer.pem" -noout -fingerprint -sha1 | sed 's/^.*=//; s/://g')
  grep -qx "signer's thumbprint: $expected (publish it beside SHA256SUMS)" "$work/$1.log" &&
    grep -qx "\$SignerThumbprint = '$expected'"$'\r' "$work/$1/Detect-Kolvane.ps1"
}
for name in out token chain nopass; do
  exe=$work/$name/KolvaneBackdoorHeliosB.exe
  check "$name: the signature verifies against the certificate" verify "$exe"
  check "$name: without its signature it is the reproducible build, byte for byte" stripped_is_built "$exe"
  exe64=$work/$name/KolvaneBackdoorHeliosB-x64.exe
  check "$name: the 64-bit program's signature verifies against the certificate" verify "$exe64"
  check "$name: without its signature the 64-bit program is its reproducible build" stripped_is_built "$exe64" \
    "$built64"
  check "$name: OUT_DIR holds both programs, the detection script and SHA256SUMS" \
    test "$(ls "$work/$name" | tr '\n' ' ')" = \
    "COMMIT Detect-Kolvane.ps1 KolvaneBackdoorHeliosB-x64.exe KolvaneBackdoorHeliosB.exe SHA256SUMS "
  check "$name: COMMIT names the commit it was built from" test "$(cat "$work/$name/COMMIT")" = "$(git -C "$tree" rev-parse HEAD)"
  check "$name: the detection script is signed" verify "$work/$name/Detect-Kolvane.ps1"
  check "$name: the detection script runs only the program with this SHA-256" \
    grep -qx "\$ReleaseSha256 = '$(sha256sum "$exe" | cut -d ' ' -f 1)'"$'\r' "$work/$name/Detect-Kolvane.ps1"
  check "$name: the detection script names the signer's thumbprint, as the signing printed it" pins_signer "$name"
  check "$name: the detection script has CRLF line ends, signature included" bash -c \
    "! grep -qv \$'\\r\$' '$work/$name/Detect-Kolvane.ps1'"
  check "$name: SHA256SUMS covers all three" bash -c \
    "cd '$work/$name' && [ \$(wc -l <SHA256SUMS) = 3 ] && sha256sum --quiet -c SHA256SUMS"
done
verify "$work/dual/KolvaneBackdoorHeliosB.exe"
check "dual: two signatures, SHA-1 first, both verify" bash -c \
  "grep -E '^Message digest algorithm  :' '$work/verify.log' | awk '{print \$NF}' | tr '\n' ' ' | grep -qx 'SHA1 SHA256 ' &&
   grep -q 'Number of verified signatures: 2' '$work/verify.log'"
check "dual: without both signatures it is the reproducible build" stripped_is_built "$work/dual/KolvaneBackdoorHeliosB.exe"
verify "$work/dual/KolvaneBackdoorHeliosB-x64.exe"
check "dual: the 64-bit program too" bash -c \
  "grep -q 'Number of verified signatures: 2' '$work/verify.log'"
check "without a time-stamp server the script says how long the signature lasts" \
  grep -q 'valid only while the certificate is' "$work/out.log"
echo "a signature adds $(($(stat -c %s "$work/out/KolvaneBackdoorHeliosB.exe") - $(stat -c %s "$built"))) bytes" \
  "(one self-signed RSA-2048 certificate, no time-stamp)"

# An osslsigncode that changes a byte of the program besides signing it:
# the script must see that the signed file is more than the build and a
# signature, and write nothing.
mkdir -p "$work/tamper"
cat >"$work/tamper/osslsigncode" <<TAMPER
#!/usr/bin/env bash
$(command -v osslsigncode) "\$@" || exit
[ "\$1" = sign ] || exit 0
while [ \$# -gt 0 ]; do [ "\$1" = -out ] && out=\$2; shift; done
case \$out in *.exe) printf 'X' | dd of="\$out" bs=1 seek=80 conv=notrunc status=none ;; esac
TAMPER
chmod +x "$work/tamper/osslsigncode"

# An osslsigncode older than 2.8, which cannot sign PowerShell scripts, as
# the signing script sees it (install-deps, which it runs first, would
# replace it and sees the real one).
mkdir -p "$work/old-signer"
cat >"$work/old-signer/osslsigncode" <<OLD
#!/usr/bin/env bash
case \$(tr "\\0" " " </proc/\$PPID/cmdline) in *install-deps*) exec $(command -v osslsigncode) "\$@" ;; esac
[ "\$1" = --version ] && { echo 'osslsigncode 2.5, using:'; exit 0; }
echo 'Unrecognized file type' >&2
exit 1
OLD
chmod +x "$work/old-signer/osslsigncode"

# Bad input: description | environment (NAME=VALUE ...; - for none) | PFX or URI | OUT_DIR | message
pfx="KOLVANE_PFX_PASSWORD=rahasia-uji"
hsm="KOLVANE_PKCS11_MODULE=$module KOLVANE_PKCS11_PIN=geheim-7391"
while IFS='|' read -r what environment source dir message; do
  rm -rf "$work/bad-out"
  read -ra assignments <<<"${environment/#-/}"
  status=0
  env -u KOLVANE_PFX_PASSWORD -u KOLVANE_PKCS11_PIN -u KOLVANE_PKCS11_MODULE "${assignments[@]}" \
    "$tree/scripts/sign" "$source" "$dir" >"$work/bad.log" 2>&1 || status=$?
  written=$(ls -A "$work/bad-out" 2>/dev/null || true)
  # No secret in what it says, whatever went wrong.
  if [ "$status" -ne 0 ] && grep -qF -- "$message" "$work/bad.log" && [ -z "$written" ] &&
    ! grep -qF -e rahasia-uji -e geheim-7391 "$work/bad.log"; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what (exit $status, wrote: ${written:-nothing})"
    cat "$work/bad.log"
    failures=$((failures + 1))
  fi
done <<TABLE
a missing PFX|$pfx|$work/none.pfx|$work/bad-out|no such file
a PFX that cannot be read|$pfx|$work/folder.pfx|$work/bad-out|cannot be read
a file that is no PKCS#12|$pfx|$work/garbage.pfx|$work/bad-out|wrong password, or not a PKCS#12 file
a wrong password|KOLVANE_PFX_PASSWORD=salah|$work/signer.pfx|$work/bad-out|wrong password, or not a PKCS#12 file
no password given|-|$work/signer.pfx|$work/bad-out|KOLVANE_PFX_PASSWORD is not set
a certificate not for code signing|$pfx|$work/web.pfx|$work/bad-out|not for code signing
an OUT_DIR that cannot be written|$pfx|$work/signer.pfx|$work/a-file/bad-out|cannot be written
a signed file that is more than the build and a signature|$pfx PATH=$work/tamper:$PATH|$work/signer.pfx|$work/bad-out|differs from the build by more than its signature
an osslsigncode older than 2.8|$pfx PATH=$work/old-signer:$PATH|$work/signer.pfx|$work/bad-out|osslsigncode 2.5 cannot sign Detect-Kolvane.ps1: 2.8 or later is needed
a PKCS#11 module that does not load|KOLVANE_PKCS11_MODULE=$work/signer.pem KOLVANE_PKCS11_PIN=geheim-7391|$token|$work/bad-out|the PKCS#11 module does not load
no PKCS#11 module named|KOLVANE_PKCS11_PIN=geheim-7391|$token|$work/bad-out|KOLVANE_PKCS11_MODULE is not set
no PIN given|KOLVANE_PKCS11_MODULE=$module|$token|$work/bad-out|KOLVANE_PKCS11_PIN is not set
a token that is not there|$hsm|pkcs11:token=Elsewhere;object=code-signing|$work/bad-out|no token "Elsewhere" is present
a key that is not on the token|$hsm KOLVANE_SIGN_CERTS=$work/signer.pem|pkcs11:token=Signer;object=missing|$work/bad-out|no key "missing" on the token
a certificate that is not on the token|$hsm|pkcs11:token=Signer;object=bare|$work/bad-out|no certificate "bare" on the token
a wrong PIN|KOLVANE_PKCS11_MODULE=$module KOLVANE_PKCS11_PIN=1111|$token|$work/bad-out|the token refused the PIN
a malformed URI|$hsm|pkcs11:token=Signer;object|$work/bad-out|not a PKCS#11 URI
a URI that names no key|$hsm|pkcs11:token=Signer|$work/bad-out|its object=... attribute is missing
a PIN in the URI|$hsm|pkcs11:token=Signer;object=code-signing;pin-value=geheim-7391|$work/bad-out|the PIN goes in KOLVANE_PKCS11_PIN
a token certificate not for code signing|$hsm|pkcs11:token=Signer;object=web|$work/bad-out|not for code signing
TABLE

# Every program the script starts, as a stand-in that writes down its
# environment and command line and then runs the real one: neither secret
# may be in them. The stand-in for bash sees the scripts it runs, all but
# the signing script itself, which is given the secrets.
mkdir -p "$work/spy"
for tool in bash cmake ninja openssl osslsigncode pkcs11-tool git sha256sum sed grep cmp mktemp cp stat dpkg apt-get; do
  real=$(command -v "$tool") || continue
  cat >"$work/spy/$tool" <<SPY
#!/bin/sh
case "\$1" in */scripts/sign) ;; *) { echo "== $tool \$*"; env; } >>"$work/spy.log" ;; esac
exec "$real" "\$@"
SPY
  chmod +x "$work/spy/$tool"
done
signs spy-pfx PATH="$work/spy:$PATH" KOLVANE_PFX_PASSWORD=rahasia-uji -- "$work/signer.pfx"
signs spy-token PATH="$work/spy:$PATH" KOLVANE_PKCS11_MODULE="$module" KOLVANE_PKCS11_PIN=geheim-7391 -- "$token"
for tool in bash cmake openssl osslsigncode pkcs11-tool git; do
  check "the stand-in for $tool saw the script run it" grep -q "^== $tool " "$work/spy.log"
done
check "no program the script starts gets the password or the PIN, in its environment or its command line" \
  bash -c "! grep -F -e rahasia-uji -e geheim-7391 '$work/spy.log'"

# A tree that is not its commit: a file changed, a file added.
for change in "echo changed >>README.md" "echo '// not committed' >src/extra.cpp"; do
  (cd "$tree" && eval "$change")
  status=0
  env -u KOLVANE_PKCS11_PIN KOLVANE_PFX_PASSWORD=rahasia-uji "$tree/scripts/sign" "$work/signer.pfx" "$work/dirty-out" \
    >"$work/dirty.log" 2>&1 || status=$?
  check "a tree that is not its commit is refused, saying why, and nothing is written ($change)" bash -c \
    "[ $status -ne 0 ] && grep -q 'differs from its commit' '$work/dirty.log' && [ ! -e '$work/dirty-out' ]"
  git -C "$tree" checkout -q -- README.md
  rm -f "$tree/src/extra.cpp"
done

echo "signing: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
