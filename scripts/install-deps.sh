#!/bin/sh
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: packages already present are left alone. Installing needs root;
# run as another user, it asks sudo.
set -eu

PACKAGES="
build-essential cmake pkg-config
qtbase5-dev qttools5-dev qttools5-dev-tools qtchooser libqt5x11extras5-dev
zlib1g-dev libminizip-dev
libsodium-dev minisign
libsqlite3-dev sqlite3
libx11-dev
xvfb xauth xdotool x11-utils
qttranslations5-l10n
xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
dbus sway xwayland xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
pipewire wireplumber grim wtype qtwayland5 libwayland-dev
zip unzip curl python3 iproute2 util-linux nginx-light
libssl3 openssl
clang-format
clang libclang-rt-14-dev
lintian dpkg-dev file
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "install-deps: every package is already installed"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        echo "install-deps: asking sudo to install:$missing"
        exec sudo "$0"
    fi
    echo "install-deps: must run as root to install:$missing" >&2
    exit 1
fi

echo "install-deps: installing:$missing"
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
