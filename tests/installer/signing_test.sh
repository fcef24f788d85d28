#!/bin/sh
# signing_test.sh SOURCE_DIR BIN_DIR WORK_DIR: configures the installer with a throw-away
# self-signed certificate, builds it, and checks that the signed programs and both installers
# verify against that certificate only, while bin/Kova.exe stays unsigned.
set -eu
src=$1 bin=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

make_cert() {
    openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=$1" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -addext "basicConstraints=critical,CA:FALSE" -keyout "$2.key" -out "$2.crt" 2>/dev/null
}
make_cert "Kova Test Signing" test
make_cert "Someone Else" other

cmake -S "$src/tests/installer/signing" -B build -DKOVA_INSTALLER_SOURCE="$src/installer" \
    -DKOVA_BUILT_EXE="$bin/Kova.exe" -DKOVA_BUILT_HELP="$bin/kovaHelp.mht" -DKOVA_BUILT_CLOSE="$bin/kovaclose.dll" -DKOVA_BUILT_KOVACTL="$bin/kovactl.exe" \
    -DKOVA_SIGN_CERT="$work/test.crt" -DKOVA_SIGN_KEY="$work/test.key" >cmake.log 2>&1 ||
    { cat cmake.log; exit 1; }
cmake --build build --target kova_setup kova_msi >build.log 2>&1 || { cat build.log; exit 1; }

setup=$(ls build/bin/KovaSetup-*.exe)
msi=$(ls build/bin/Kova-*.msi)
fail=0
for f in build/installer/signed/Kova.exe build/installer/signed/kovactl.exe "$setup" "$msi"; do
    if ! osslsigncode verify -CAfile test.crt -in "$f" >verify.log 2>&1; then
        echo "FAIL: $f does not verify against the signing certificate"; cat verify.log; fail=1
    fi
    grep -q "Text description: Kova" verify.log || { echo "FAIL: $f lacks the description"; fail=1; }
    if osslsigncode verify -CAfile other.crt -in "$f" >/dev/null 2>&1; then
        echo "FAIL: $f verifies against an unrelated certificate"; fail=1
    fi
done
if osslsigncode verify -CAfile test.crt -in "$bin/Kova.exe" >/dev/null 2>&1; then
    echo "FAIL: bin/Kova.exe was signed in place"; fail=1
fi
exit $fail
