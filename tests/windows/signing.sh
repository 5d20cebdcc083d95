#!/usr/bin/env bash
# Authenticode signatures of a Windows build, with a throwaway self-signed certificate made here:
# without a certificate the packages are unsigned and the build says so once; with one, the
# program, the installer, the uninstaller it writes (installed under Wine) and the MSI verify,
# the other people's DLLs stay as they were, one flipped byte in the program fails verification
# and a wrong password signs nothing.
# Usage: signing.sh BUILD_DIR   (BUILD_DIR/dist, laid out by scripts/windows-dist)
set -uo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/build"
cp -rL "$build/dist" "$work/build/dist"
program=$work/build/dist/VORN_UPDATE_VERSION.exe
verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1; }
unsigned() { ! osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
  -subj "/CN=Essai de signature VORN/O=VORN" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/essai.pfx" -passout pass:essai-signature

# No certificate: the MSI alone (the NSIS installer is the same question).
(unset VORN_SIGN_PFX && VORN_WINDOWS_INSTALLER=OFF "$scripts/package-windows" "$work/build") >"$work/unsigned.txt" 2>&1
check "without a certificate: packaged (exit $?)" test -f "$work/build"/VORN_UPDATE_VERSION-*.msi
check "without a certificate: said once" test "$(grep -c 'not signed' "$work/unsigned.txt")" -eq 1
check "without a certificate: the program and the MSI are unsigned" unsigned "$program"
unsigned "$work/build"/VORN_UPDATE_VERSION-*.msi || check "the MSI unsigned" false

export VORN_SIGN_PFX=$work/essai.pfx
cp "$program" "$work/before.exe"
VORN_SIGN_PASSWORD=faux "$scripts/sign-windows" "$program" 2>"$work/wrong.txt"
status=$?
check "a wrong password: refused (exit $status, $(head -1 "$work/wrong.txt"))" test "$status" -ne 0 -a -s "$work/wrong.txt"
check "a wrong password: the program unchanged" cmp -s "$program" "$work/before.exe"

export VORN_SIGN_PASSWORD=essai-signature
"$scripts/package-windows" "$work/build" >"$work/signed.txt" 2>&1
check "with a certificate: packaged (exit $?)" test -f "$work/build/VORN_UPDATE_VERSION-setup.exe"
check "with a certificate: nothing said unsigned" bash -c '! grep -q "not signed" "$1"' - "$work/signed.txt"
for file in "$program" "$work/build/VORN_UPDATE_VERSION-setup.exe" "$work/build"/VORN_UPDATE_VERSION-*.msi; do
  check "$(basename "$file") signed and verified" verifies "$file"
done
check "Qt's and MinGW's DLLs shipped as they are" cmp -s "$build/dist/Qt6Core.dll" "$work/build/dist/Qt6Core.dll"
check "... and unsigned" unsigned "$work/build/dist/Qt6Core.dll"
check "the signature names the certificate" grep -q "Essai de signature VORN" <(osslsigncode verify -CAfile "$work/cert.pem" -in "$program" 2>&1)

# One byte of the program changed after signing.
cp "$program" "$work/flipped.exe"
offset=$(($(stat -c %s "$work/flipped.exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/flipped.exe" | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 1)))" | dd of="$work/flipped.exe" bs=1 seek="$offset" conv=notrunc 2>/dev/null
check "one flipped byte in the program fails verification" unsigned "$work/flipped.exe"

# The uninstaller is written at install time, from the copy signed when the installer was made.
user=$(run cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
target="C:\\users\\$user\\Temp\\vorn-signing"
dir="$WINEPREFIX/drive_c/users/$user/Temp/vorn-signing"
rm -rf "$dir"
run "$work/build/VORN_UPDATE_VERSION-setup.exe" /S "/D=$target"
check "the signed installer installs (exit $?)" test -f "$dir/uninstall.exe"
check "the uninstaller it wrote is signed and verified" verifies "$dir/uninstall.exe"
check "the installed program is the signed one" cmp -s "$program" "$dir/VORN_UPDATE_VERSION.exe"
run "$dir/uninstall.exe" /S "_?=$target"
rm -rf "$dir"
[ "$failures" -eq 0 ]
