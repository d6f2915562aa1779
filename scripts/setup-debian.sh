#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Zirkelon needs; does nothing when all are present. Uses sudo when
# not run as root. With --start only what building and running the program needs (the quick first
# start); without, also everything the tests, the benchmarks and the packaging checks use.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libpulse-dev libcups2-dev libzip-dev qt6-translations-l10n
    cmark-gfm
)
if [[ ${1:-} != --start ]]; then
    packages+=(
        clang-format clang libclang-rt-dev
        libgtest-dev libgmock-dev libbenchmark-dev
        pulseaudio pulseaudio-utils sox fluidsynth timgm6mb-soundfont
        cups-daemon cups-client
        desktop-file-utils appstream man-db groff-base bash-completion dpkg-dev file
        lintian shared-mime-info xdg-utils libfile-mimeinfo-perl
    )
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installiere fehlende Pakete: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
