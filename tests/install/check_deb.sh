#!/bin/sh
# Builds the Debian package from a build tree, checks its control fields, unpacks it into a
# scratch root and converts the bundled sample with the unpacked binary.
# Usage: check_deb.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/morvalen_*.deb)
fail() { echo "FAIL: $*"; dpkg-deb -I "$deb"; exit 1; }

[ "$(dpkg-deb -f "$deb" Package)" = morvalen ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
[ "$(dpkg-deb -f "$deb" Section)" = science ] || fail "section"
dpkg-deb -f "$deb" Description | head -n 1 | grep -q "Vantrix" || fail "description"
# Dependencies come from the binary's shared libraries.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libgcc-s1; do
  echo "$depends" | grep -q "$lib (>=" || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin/morvalen"
[ -x "$bin" ] || fail "no usr/bin/morvalen"
[ -f "$root/usr/share/man/man1/morvalen.1.gz" ] || fail "no manual page"
sample="$root/usr/share/doc/morvalen/examples/barley_trial.csv"
[ -f "$sample" ] || fail "no bundled sample"
if dpkg-deb -c "$deb" | grep -v '^d' | grep -qv -e ' ./usr/bin/morvalen$' -e ' ./usr/share/'; then
  fail "unexpected files: $(dpkg-deb -c "$deb")"
fi

got=$("$bin" --version)
[ "$got" = "morvalen $version" ] || fail "--version says '$got', CMake says $version"

# The unpacked binary converts the sample, with absolute paths, exactly as the build tree's.
mkdir -p "$work/t/u/v"
out=$("$bin" "$sample" "$work/t/u/v/barley.csv/-")
echo "$out" | grep -q "records transferred" || fail "conversion printed: $out"
"$build/morvalen" "$sample" "$work/barley_ref.csv/-" >/dev/null
cmp "$work/t/u/v/barley.csv" "$work/barley_ref.csv" || fail "output differs from the build tree's"
"$bin" "$sample" "$work/t/u/v/barley.vsh/s" >/dev/null || fail "conversion to .vsh"
echo "package $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
