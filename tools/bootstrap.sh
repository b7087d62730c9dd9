#!/bin/sh
# Installs the Debian packages Moratutor needs to build, test and run. Packages that
# are already installed are left alone, so a second call costs a second or two.
set -eu

PACKAGES="
build-essential
cmake
pkg-config
git
qt6-base-dev
qt6-svg-dev
libqt6svg6
qt6-qpa-plugins
qt6-translations-l10n
libicu-dev
libzip-dev
libqt6printsupport6
libgtest-dev
libgmock-dev
libbenchmark-dev
xvfb
xauth
xdotool
xclip
openbox
python3
linux-perf
imagemagick
fonts-ipafont-gothic
fonts-dejavu-core
clang
libclang-rt-14-dev
dpkg-dev
lintian
appstream
desktop-file-utils
man-db
epubcheck
poppler-utils
espeak-ng
pandoc
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "Installing:$missing"
$SUDO apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
