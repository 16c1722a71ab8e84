#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tavolin need.
# Idempotent and silent when everything is already present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git ca-certificates tzdata
    libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    qt6-base-dev libqt6test6 qt6-qpa-plugins fonts-dejavu-core
    libical-dev
    # Real-window tests: a virtual X server, a window manager, a tray host, input, screenshots,
    # the LXQt desktop (pcmanfm-qt) and window properties (xprop).
    xvfb xauth openbox trayer xdotool x11-apps x11-utils dbus dbus-x11 pcmanfm-qt
    # Desktops' settings services without the programs that draw their desktops: XFCE's
    # xfconfd (xfconf-query needs libxfconf, which xfconf does not pull in) and MATE's schemas
    # on dconf.
    xfconf libxfconf-0-3 mate-desktop-common dconf-service dconf-gsettings-backend
    appstream
    imagemagick netpbm
    gsettings-desktop-schemas libglib2.0-bin
    nodejs
    # Used at run time on a plain X11 session: the wallpaper setter and the screen size.
    xwallpaper x11-xserver-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
echo "bootstrap: installing ${missing[*]}" >&2
# A fresh machine may have empty package lists; refresh them when an install cannot find a package.
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    $SUDO apt-get update -qq >/dev/null
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
