#!/bin/sh
# Builds the Debian package from a configured build tree, unpacks it into a temporary folder
# with dpkg -x (no root needed) and checks what a user would get: the files and where they
# lie, the desktop entry, the AppStream metainfo, the manual pages, and lintian's verdict.
#
#   tools/check-package.sh BUILD_DIR
#
# Exits 0 when all is well, 1 on a fault, 77 (skipped) when a needed tool is missing.
set -eu

build=${1:?usage: check-package.sh BUILD_DIR}
build=$(cd "$build" && pwd)

missing=""
for tool in cmake cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian man gzip readelf; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "SKIPPED: the package check needs:$missing (tools/bootstrap.sh installs them)"
    exit 77
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/moratutor-package.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}

echo "== building the package (version $version)"
cmake --build "$build" -j2 >"$tmp/build.log" 2>&1 || { tail -30 "$tmp/build.log"; exit 1; }
(cd "$tmp" && cpack -G DEB -B "$tmp/out" --config "$build/CPackConfig.cmake") >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; exit 1; }
deb="$tmp/out/moratutor_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$tmp/out"; echo "FAULT: no $deb"; exit 1; }
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

echo "== control fields"
dpkg-deb -f "$deb" >"$tmp/control"
field() { sed -n "s/^$1: //p" "$tmp/control"; }
[ "$(field Package)" = moratutor ] || fault "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fault "Version is '$(field Version)', not $version"
[ "$(field Section)" = education ] || fault "Section is '$(field Section)'"
for dep in libqt6widgets6 libicu72 qt6-qpa-plugins libqt6svg6 qt6-translations-l10n fonts-ipafont-gothic; do
    field Depends | grep -q "$dep" || fault "Depends lacks $dep: $(field Depends)"
done
grep -q 'каны' "$tmp/control" || fault "the description has no Russian part"

echo "== files"
root="$tmp/root"
dpkg -x "$deb" "$root"
for f in usr/bin/moratutor usr/bin/moratutor-convert; do
    [ -x "$root/$f" ] || fault "$f missing or not executable"
done
for f in \
    usr/share/doc/moratutor/moratutor.htm \
    usr/share/doc/moratutor/copyright \
    usr/share/doc/moratutor/changelog.gz \
    usr/share/applications/moratutor.desktop \
    usr/share/metainfo/org.example.moratutor.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/moratutor.svg \
    usr/share/icons/hicolor/16x16/apps/moratutor.png \
    usr/share/icons/hicolor/24x24/apps/moratutor.png \
    usr/share/icons/hicolor/32x32/apps/moratutor.png \
    usr/share/icons/hicolor/48x48/apps/moratutor.png \
    usr/share/man/man1/moratutor.1.gz \
    usr/share/man/man1/moratutor-convert.1.gz \
    usr/share/man/ru/man1/moratutor.1.gz \
    usr/share/man/ru/man1/moratutor-convert.1.gz; do
    [ -f "$root/$f" ] || fault "$f missing"
done
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fault "files outside /usr: $outside"
[ ! -e "$root/usr/bin/moratutor.htm" ] || fault "the help page lies among the programs"
# The About window reads the version from a section of the program; stripping must keep it.
readelf -p .moratutor_version "$root/usr/bin/moratutor" 2>/dev/null | grep -q "$version" ||
    fault "the stripped program lost its version block"
"$root/usr/bin/moratutor-convert" --help >/dev/null || fault "moratutor-convert --help failed"

echo "== manual pages"
for page in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/man/ru/man1/*.gz; do
    gzip -t "$page" || fault "$page is not a sound gzip file"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fault "$page: $warnings"
    zcat "$page" | grep -q '@PROJECT_VERSION@' && fault "$page: version not filled in"
done

echo "== desktop entry"
desktop="$root/usr/share/applications/moratutor.desktop"
desktop-file-validate "$desktop" || fault "desktop-file-validate"
grep -q '^Exec=moratutor %f$' "$desktop" || fault "Exec does not take a file"
for type in text/plain application/rtf text/rtf application/x-fictionbook+xml \
            application/x-zip-compressed-fb2 application/epub+zip text/html; do
    grep '^MimeType=' "$desktop" | tr '=;' '\n\n' | grep -qxF "$type" || fault "MimeType lacks $type"
done

echo "== AppStream metainfo"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/org.example.moratutor.metainfo.xml" ||
    fault "appstreamcli validate"
grep -q "release version=\"$version\"" "$root/usr/share/metainfo/org.example.moratutor.metainfo.xml" ||
    fault "metainfo names another release than $version"

echo "== lintian"
lintian --tag-display-limit 0 --display-info --pedantic "$deb" >"$tmp/lintian.log" 2>&1 || true
cat "$tmp/lintian.log"
grep -q '^E: ' "$tmp/lintian.log" && fault "lintian reports errors"
echo "lintian: $(grep -c '^E: ' "$tmp/lintian.log") errors, $(grep -c '^W: ' "$tmp/lintian.log") warnings," \
     "$(grep -c '^I: ' "$tmp/lintian.log") notes"

if [ "$faults" -ne 0 ]; then
    echo "$faults fault(s)"
    exit 1
fi
echo "package check passed"
