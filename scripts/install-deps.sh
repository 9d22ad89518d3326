#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, run and test.
# Uses sudo when not run as root; does nothing when everything is installed.
set -euo pipefail
packages=(build-essential cmake qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev
          qt6-translations-l10n xvfb xauth fonts-dejavu-core zip unzip
          libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql postgresql libzip-dev pkg-config ccache
          libpng-dev libtiff-dev libjpeg62-turbo-dev
          # checks of the installed files and of the Prometheus text (promtool)
          libxml2-utils desktop-file-utils shared-mime-info libglib2.0-bin appstream groff-base man-db
          prometheus)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Only promtool is wanted from the prometheus package: its server, which
# Debian enables and starts on installation, is stopped and disabled.
if printf '%s\n' "${missing[@]}" | grep -qx prometheus; then
    if [ -d /run/systemd/system ]; then
        $sudo systemctl disable --now prometheus.service >/dev/null 2>&1 || true
    elif [ -x /etc/init.d/prometheus ]; then
        $sudo /etc/init.d/prometheus stop >/dev/null 2>&1 || true
    fi
fi
