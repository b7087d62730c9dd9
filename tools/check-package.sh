#!/bin/sh
# Builds the Debian package from a configured build tree, installs its files into a scratch
# root with dpkg -x (no root needed, no package database touched) and checks what a user
# would get: the files and where they lie (the help page in /usr/share/moratutor, where the
# program looks for it), the desktop entry and its file types, the AppStream metainfo, the
# manual pages (any locale, the options --help names), and lintian's verdict (hardening
# included).
#
#   tools/check-package.sh BUILD_DIR
#
# Exits 0 when all is well, 1 on a fault, 77 (skipped) when a needed tool is missing.
set -eu

build=${1:?usage: check-package.sh BUILD_DIR}
build=$(cd "$build" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)

missing=""
for tool in cmake cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian man gzip readelf strings; do
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
[ "$(field Recommends)" = "xdg-utils, espeak-ng" ] || fault "Recommends is '$(field Recommends)', not xdg-utils, espeak-ng"

echo "== files"
root="$tmp/root"
dpkg -x "$deb" "$root"
for f in usr/bin/moratutor usr/bin/moratutor-convert; do
    [ -x "$root/$f" ] || fault "$f missing or not executable"
done
for f in \
    usr/share/moratutor/moratutor.htm \
    usr/share/doc/moratutor/copyright \
    usr/share/doc/moratutor/changelog.gz \
    usr/share/applications/org.example.moratutor.desktop \
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

echo "== help page"
# A program must not need /usr/share/doc (minimal installs drop it): the page lies in
# /usr/share/moratutor, the documentation folder holds only a link to it, and the program
# looks there, relative to itself (usr/bin/../share/moratutor) whatever prefix it was built for.
link="$root/usr/share/doc/moratutor/moratutor.htm"
if [ -L "$link" ]; then
    [ "$(readlink -f "$link")" = "$(readlink -f "$root/usr/share/moratutor/moratutor.htm")" ] ||
        fault "the documentation folder's moratutor.htm points to $(readlink "$link")"
elif [ -e "$link" ]; then
    fault "the documentation folder holds a copy of the help page, not a link"
fi
# (The folder is a UTF-16 string constant in the program.)
strings -el "$root/usr/bin/moratutor" | grep -qx '\.\./share/moratutor' ||
    fault "the program does not look for its help page in ../share/moratutor"
cmp -s "$root/usr/share/moratutor/moratutor.htm" "$source/resources/about/moratutor.htm" ||
    fault "the installed help page is not resources/about/moratutor.htm"
# The About window reads the version from a section of the program; stripping must keep it.
readelf -p .moratutor_version "$root/usr/bin/moratutor" 2>/dev/null | grep -q "$version" ||
    fault "the stripped program lost its version block"
"$root/usr/bin/moratutor-convert" --help >/dev/null || fault "moratutor-convert --help failed"
[ "$("$root/usr/bin/moratutor-convert" --version)" = "moratutor-convert $version" ] ||
    fault "moratutor-convert --version does not say $version"

echo "== manual pages"
for page in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/man/ru/man1/*.gz; do
    gzip -t "$page" || fault "$page is not a sound gzip file"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fault "$page: $warnings"
    # Without a UTF-8 locale the page still reads: no warnings, Russian names transliterated.
    warnings=$(LANG=C LC_ALL=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fault "$page under LANG=C: $warnings"
    zcat "$page" | grep -q '@PROJECT_VERSION@' && fault "$page: version not filled in"
done
mkdir -p "$tmp/man/ru"
for page in moratutor moratutor-convert; do
    zcat "$root/usr/share/man/man1/$page.1.gz" >"$tmp/man/$page.1"
    zcat "$root/usr/share/man/ru/man1/$page.1.gz" >"$tmp/man/ru/$page.1"
done
sh "$source/tests/package/check-man-options.sh" "$root/usr/bin/moratutor-convert" "$tmp/man" ||
    fault "the manual pages' options differ from --help"

echo "== desktop entry"
desktop="$root/usr/share/applications/org.example.moratutor.desktop"
desktop-file-validate "$desktop" || fault "desktop-file-validate"
grep -q '^Exec=moratutor %f$' "$desktop" || fault "Exec does not take a file"
grep -q '^StartupNotify=true$' "$desktop" || fault "StartupNotify is not true"
# Only the types the program is for: claiming text/html would make it the desktop's web
# browser where no other program registered for HTML, and F1 would open a second Moratutor.
types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
expected=$(printf '%s\n' text/plain application/rtf text/rtf application/x-fictionbook+xml \
    application/x-zip-compressed-fb2 application/epub+zip | sort)
[ "$types" = "$expected" ] || fault "MimeType is $(echo "$types" | tr '\n' ' '), not $(echo "$expected" | tr '\n' ' ')"
# The Russian comment says what the English one says, as the metainfo's summaries do.
metainfo="$root/usr/share/metainfo/org.example.moratutor.metainfo.xml"
comment=$(sed -n 's/^Comment=//p' "$desktop")
commentRu=$(sed -n 's/^Comment\[ru\]=//p' "$desktop")
[ -n "$comment" ] && [ "$comment" = "$(sed -n 's:.*<summary>\(.*\)</summary>.*:\1:p' "$metainfo")" ] ||
    fault "Comment is not the metainfo's summary"
[ -n "$commentRu" ] && [ "$commentRu" = "$(sed -n 's:.*<summary xml\:lang="ru">\(.*\)</summary>.*:\1:p' "$metainfo")" ] ||
    fault "Comment[ru] is not the metainfo's Russian summary"

echo "== AppStream metainfo"
appstreamcli validate --no-net --explain "$metainfo" || fault "appstreamcli validate"
grep -q '<id>org.example.moratutor</id>' "$metainfo" || fault "the component id is not org.example.moratutor"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" = org.example.moratutor.desktop ] && [ -f "$root/usr/share/applications/$launchable" ] ||
    fault "the launchable '$launchable' is not the installed desktop entry"
# The releases come from the changelog: its newest entry's version and date.
date=$(zcat "$root/usr/share/doc/moratutor/changelog.gz" | sed -n 's/^ -- .*>  //p' | head -1)
grep -q "<release version=\"$version\" date=\"$(date -u -d "$date" +%Y-%m-%d)\">" "$metainfo" ||
    fault "the newest release is not $version of $date, as the changelog says"
grep -q '<content_rating type="oars-1.1"' "$metainfo" || fault "no content rating"
for image in $(sed -n 's:.*<image>\(.*\)</image>.*:\1:p' "$metainfo"); do
    [ -f "$source/resources/package/screenshots/$(basename "$image")" ] ||
        fault "the screenshot $image is not in resources/package/screenshots"
done

echo "== lintian"
lintian --tag-display-limit 0 --display-info --pedantic "$deb" >"$tmp/lintian.log" 2>&1 || true
cat "$tmp/lintian.log"
grep -q '^E: ' "$tmp/lintian.log" && fault "lintian reports errors"
grep -q '^W: ' "$tmp/lintian.log" && fault "lintian reports warnings"
grep -q ' hardening-' "$tmp/lintian.log" && fault "lintian finds the programs not hardened"
echo "lintian: $(grep -c '^E: ' "$tmp/lintian.log") errors, $(grep -c '^W: ' "$tmp/lintian.log") warnings," \
     "$(grep -c '^I: ' "$tmp/lintian.log") notes"

if [ "$faults" -ne 0 ]; then
    echo "$faults fault(s)"
    exit 1
fi
echo "package check passed"
