#!/usr/bin/env bash
# Installing like a desktop application: a Release build without sanitizers (scripts/package.sh),
# cmake --install into a temporary DESTDIR, and the Debian package. Checks the installed files,
# the desktop entry (desktop-file-validate), the manual pages (man --warnings) and the package's
# contents and dependencies. Needs neither root nor the network.
# Usage: install-check.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$(realpath "$1")
build=$2
version=$3

for tool in desktop-file-validate man dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/packages-test.txt)"; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvelle-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

start=$(date +%s)
"$source_dir/scripts/package.sh" "$build" >"$work/package.log" 2>&1 || {
  tail -n 40 "$work/package.log"
  fail "scripts/package.sh failed"
}
deb=$(tail -n 1 "$work/package.log")
echo "Release build and package: $(($(date +%s) - start)) s"

# cmake --install with its usual prefix into a DESTDIR.
DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >/dev/null
installed=(
  bin/sorvelle
  bin/sorvelle-cli
  share/applications/sorvelle.desktop
  share/icons/hicolor/scalable/apps/sorvelle.svg
  share/man/man1/sorvelle.1.gz
  share/man/man1/sorvelle-cli.1.gz
)
for f in "${installed[@]}"; do
  [[ -f "$work/root/usr/local/$f" ]] || fail "cmake --install did not install $f"
done
[[ -x "$work/root/usr/local/bin/sorvelle" && -x "$work/root/usr/local/bin/sorvelle-cli" ]] ||
  fail "the programs are not executable"
[[ $("$work/root/usr/local/bin/sorvelle-cli" --version) == "sorvelle-cli $version" ]] ||
  fail "the installed sorvelle-cli is not version $version"
[[ $("$work/root/usr/local/bin/sorvelle" --version) == "sorvelle $version" ]] ||
  fail "the installed sorvelle is not version $version"

entry="$work/root/usr/local/share/applications/sorvelle.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
grep -qx 'Name=Sorvelle' "$entry" && grep -qx 'Categories=AudioVideo;Audio;Education;' "$entry" &&
  grep -qx 'Exec=sorvelle --home-folder %f' "$entry" && grep -qx 'Icon=sorvelle' "$entry" ||
  fail "the desktop entry lacks Name, Categories, Exec or Icon"

for page in sorvelle sorvelle-cli; do
  MANWIDTH=80 man --warnings -l "$work/root/usr/local/share/man/man1/$page.1.gz" >"$work/$page.txt" 2>"$work/$page.err" ||
    fail "man cannot render $page.1"
  [[ ! -s "$work/$page.err" ]] || fail "man warns about $page.1: $(cat "$work/$page.err")"
  grep -q "^NAME" "$work/$page.txt" || fail "$page.1 renders without a NAME section"
done
echo "cmake --install: every file in place; desktop entry and manual pages valid"

arch=$(dpkg --print-architecture)
[[ "$(basename "$deb")" == "sorvelle_${version}_${arch}.deb" ]] || fail "package named $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/contents"
for f in "${installed[@]}"; do
  grep -qx "./usr/$f" "$work/contents" || fail "the package lacks /usr/$f"
done
[[ $(dpkg-deb -f "$deb" Package) == sorvelle && $(dpkg-deb -f "$deb" Version) == "$version" ]] ||
  fail "package name or version"
depends=$(dpkg-deb -f "$deb" Depends)
# The package names, one a line, without their versions.
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 libmpg123-0 libjpeg62-turbo libxtst6; do
  grep -qx "$needed" <<<"$names" || fail "Depends lacks $needed: $depends"
done
[[ "$depends" != *asan* && "$depends" != *ubsan* ]] || fail "the package was built with sanitizers: $depends"
dpkg-deb -x "$deb" "$work/deb"
for program in sorvelle sorvelle-cli; do
  file "$work/deb/usr/bin/$program" | grep -q ', stripped' || fail "/usr/bin/$program is not stripped"
done
echo "package $(basename "$deb"): contents and dependencies as expected"
echo "Depends: $depends"
echo "PASS"
