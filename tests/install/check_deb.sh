#!/bin/sh
# Builds the Debian package from a build tree, checks its control fields, unpacks it into a scratch root
# and converts the bundled sample with the unpacked binary. Usage: check_deb.sh BUILD_DIR VERSION
set -eu
build=$1 version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }; done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/morvalen_*.deb)
fail() { echo "FAIL: $*"; dpkg-deb -I "$deb"; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }

[ "$(field Package) $(field Version) $(field Architecture) $(field Section)" = \
  "morvalen $version $(dpkg --print-architecture) science" ] || fail "package, version, architecture or section"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
field Description | head -n 1 | grep -q "Vantrix" || fail "description"
# Dependencies come from the binary's shared libraries.
for lib in libc6 libstdc++6 libgcc-s1; do field Depends | grep -q "$lib (>=" || fail "Depends lacks $lib"; done

root="$work/root" && dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin/morvalen" sample="$root/usr/share/doc/morvalen/examples/barley_trial.csv"
[ -x "$bin" ] && [ -f "$root/usr/share/man/man1/morvalen.1.gz" ] && [ -f "$sample" ] || fail "binary, manual or sample missing"
if dpkg-deb -c "$deb" | grep -v '^d' | grep -qv -e ' ./usr/bin/morvalen$' -e ' ./usr/share/'; then
  fail "unexpected files: $(dpkg-deb -c "$deb")"
fi
[ "$("$bin" --version)" = "morvalen $version" ] || fail "--version is not CMake's $version"
# The unpacked binary converts the sample, with absolute paths, exactly as the build tree's.
mkdir -p "$work/t/u/v"
"$bin" "$sample" "$work/t/u/v/barley.csv/-" | grep -q "records transferred" || fail "conversion"
"$build/morvalen" "$sample" "$work/barley_ref.csv/-" >/dev/null
cmp "$work/t/u/v/barley.csv" "$work/barley_ref.csv" || fail "output differs from the build tree's"
"$bin" "$sample" "$work/t/u/v/barley.vsh/s" >/dev/null || fail "conversion to .vsh"
echo "package $(basename "$deb"): $(field Depends)"
