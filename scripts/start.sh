#!/usr/bin/env bash
# From a bare Debian machine: installs what is missing, builds and starts Zirkelon. Without a
# display it says so and writes the first example as a WAV file instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    exec ./build/zirkelon
fi

echo "Kein Bildschirm gefunden (weder X11 noch Wayland): Zirkelon kann seine Fenster nicht zeigen."
echo "Stattdessen wird das \"Erste Beispiel\" berechnet und als WAV-Datei geschrieben:"
./build/zirkelon example "Erstes Beispiel" > build/erstes_beispiel.txt
./build/zirkelon compute --display intervals build/erstes_beispiel.txt
./build/zirkelon render -o build/erstes_beispiel.wav build/erstes_beispiel.txt
echo "Anhören: build/erstes_beispiel.wav   Alle Befehle: build/zirkelon --help"
