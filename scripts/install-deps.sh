#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Installs the Debian packages that building, testing and running Vardel
# need, when any is missing. With --run first, only those that building and
# running need, not the test tools. Further arguments name more packages.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libglib2.0-dev shared-mime-info
          libxcb1-dev)
if [ "${1:-}" = --run ]; then
    shift
else
    packages+=(xvfb xauth xdg-utils desktop-file-utils x11-utils imagemagick dbus-daemon)
fi
[ "$#" -gt 0 ] && packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
