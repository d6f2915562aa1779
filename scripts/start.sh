#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# From a bare Debian machine: installs what is missing, builds and starts Zirkelon. Without a
# display it says so and writes the first example as a WAV file instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --start
# Only the program: the tests and benchmarks are built by scripts/check.sh. A build folder that
# scripts/check.sh has set up keeps its tests.
if [[ -f build/CMakeCache.txt ]]; then
    BUILD_TARGET=zirkelon scripts/build.sh
else
    BUILD_TARGET=zirkelon scripts/build.sh -DBUILD_TESTING=OFF -DZK_BENCHMARKS=OFF
fi

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    exec ./build/zirkelon
fi

echo "Kein Bildschirm gefunden (weder X11 noch Wayland): Zirkelon kann seine Fenster nicht zeigen."
echo "Stattdessen wird das \"Erste Beispiel\" berechnet und als WAV-Datei geschrieben:"
./build/zirkelon compute --display intervals --example "Erstes Beispiel"
./build/zirkelon render -o build/erstes_beispiel.wav --example "Erstes Beispiel"
echo "Anhören: build/erstes_beispiel.wav   Alle Befehle: build/zirkelon --help"
