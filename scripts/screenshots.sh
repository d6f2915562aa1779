#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Erneuert die Bilder des Benutzerhandbuchs (docs/images/): startfenster.png,
# modulationsrechner.png und stimmungsliste.png. Das Programm läuft dafür auf einem eigenen,
# unsichtbaren Bildschirm (Xvfb) mit Openbox als Fenstermanager, mit einem frischen Ordner für
# seine Dateien, und wird mit xdotool bedient; ImageMagicks "import" nimmt die Fenster auf.
# Es erklingt nichts: Kein Schritt spielt einen Akkord.
#
# Aufruf: scripts/screenshots.sh            (das Programm aus build/)
#         BUILD_DIR=build-app scripts/screenshots.sh
# Braucht: xvfb openbox xdotool imagemagick x11-utils (xdpyinfo, xprop)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
program="$root/${BUILD_DIR:-build}/zirkelon"
images="$root/docs/images"
display_number=${SCREENSHOT_DISPLAY:-17}

for tool in Xvfb openbox xdotool import identify xdpyinfo xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "Es fehlt \"$tool\" (apt-get install -y --no-install-recommends xvfb openbox xdotool imagemagick x11-utils)." >&2
        exit 1
    fi
done
if [[ ! -x $program ]]; then
    echo "Kein Programm unter $program: erst bauen (scripts/build.sh) oder BUILD_DIR setzen." >&2
    exit 1
fi
if [[ -e /tmp/.X11-unix/X$display_number || -e /tmp/.X$display_number-lock ]]; then
    echo "Der Bildschirm :$display_number ist schon belegt; SCREENSHOT_DISPLAY wählt einen anderen." >&2
    exit 1
fi

scratch=$(mktemp -d /tmp/zirkelon-bilder.XXXXXX)
pids=()
cleanup() {
    # Nur die eigenen Prozesse, in umgekehrter Reihenfolge: Programm, Fenstermanager, Xvfb.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export DISPLAY=:$display_number
Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb ist nicht gestartet:" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }

# Ein eigenes Zuhause: Die Verknüpfung des ersten Starts (in "Desktop"), Openbox' und Qts Dateien
# landen im Einwegordner, nicht beim Benutzer.
mkdir -p "$scratch/home/Desktop" "$scratch/zirkelon"
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_CACHE_HOME=$scratch/home/.cache \
    XDG_DATA_HOME=$scratch/home/.local/share XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# Kein Soundserver: Das Programm bleibt stumm, was immer geschieht.
ZIRKELON_HOME=$scratch/zirkelon QT_QPA_PLATFORM=xcb PULSE_SERVER=unix:$scratch/kein-server \
    LANG=de_DE.UTF-8 "$program" >"$scratch/zirkelon.log" 2>&1 &
pids+=($!)

# Das erste sichtbare Fenster, dessen Titel auf den Ausdruck passt und das noch nicht in $seen
# steht, kommt nach $found und $seen (wartet bis zu 20 Sekunden). Mehrere Fenster heißen "Zirkelon"
# (Startfenster, Hauptfenster, Meldungen): So ist jedes neu erschienene das gesuchte.
seen=" "
window() {
    local id
    for _ in $(seq 200); do
        for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null || true); do
            if [[ $seen != *" $id "* ]]; then
                seen+="$id "
                found=$id
                return
            fi
        done
        sleep 0.1
    done
    echo "Kein neues Fenster \"$1\" erschienen. Ausgabe des Programms:" >&2
    cat "$scratch/zirkelon.log" >&2
    exit 1
}
# Ein Klick an eine Stelle im Fenster (Koordinaten im Fenster, wie die Knöpfe dort liegen).
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.5
}
# Tasten an ein Fenster: erst nach vorn holen, dann tippen (an das Fenster mit dem Fokus).
key() {
    for _ in $(seq 20); do
        xdotool windowactivate --sync "$1" >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdotool key "${@:2}"
    sleep 0.5
}
# Ob ein Fenster ein Dialog ist (Meldungen) und kein Hauptfenster.
is_dialog() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG
}
shoot() {
    sleep 0.7 # bis das Fenster fertig gezeichnet ist
    import -window "$1" "$images/$2"
    echo "$images/$2: $(identify -format '%w × %h' "$images/$2")"
}

# Der erste Start meldet die Verknüpfung auf dem Desktop (ein Meldungsfenster "Zirkelon" mit
# "OK"); erst danach zeigt sich das Startfenster, ebenfalls "Zirkelon".
window '^Zirkelon$'
start=$found
if is_dialog "$start"; then
    key "$start" Return
    window '^Zirkelon$'
start=$found
fi
shoot "$start" startfenster.png

# "Modulationen berechnen" (der rechte große Knopf); im Rechner eine Quinte höher, dann
# Dur <-> moll, damit der Verlauf etwas zeigt.
click "$start" 336 30
window 'Modulationen berechnen'
calculator=$found
xdotool windowmove "$calculator" 40 0
# Nur so hoch, dass der Verlauf nicht als leere Fläche das Bild füllt.
xdotool windowsize "$calculator" 702 430
sleep 0.5
click "$calculator" 268 76 # "Q) eine Quinte höher"
click "$calculator" 484 76 # "m) Dur <-> moll"
shoot "$calculator" modulationsrechner.png

# "Zum Programm Akkorde erklingen lassen" öffnet das Hauptfenster; dort "Hilfe|mitteltönig":
# erst der Hinweis (mit Return weg), dann die Liste der Temperaturen.
click "$calculator" 388 12
window '^Zirkelon$'
main=$found
# Alt allein wählt das erste Menü ("Datei"); zwei Schritte nach links (über "Zum Programm
# Modulationen berechnen", den letzten Punkt der Leiste) liegt "Hilfe". Pfeil abwärts öffnet es
# auf seinem ersten Punkt, Pfeil aufwärts springt von dort zum letzten: "mitteltönig".
xdotool mousemove 800 900 # der Mauszeiger nicht über der Menüleiste
key "$main" alt
xdotool key Left Left Down
sleep 0.5
xdotool key Up Return
window '^Zirkelon$'
hint=$found
if ! is_dialog "$hint"; then
    echo "Statt des Hinweises zu \"mitteltönig\" erschien ein anderes Fenster: Hat sich das Menü \"Hilfe\" geändert?" >&2
    exit 1
fi
key "$hint" Return
window 'Stimmungen'
list=$found
# Die Liste öffnet fast bildschirmgroß; so klein, dass die Tabelle gerade Platz hat.
xdotool windowsize --sync "$list" 1090 690 2>/dev/null || xdotool windowsize "$list" 1090 690
shoot "$list" stimmungsliste.png
key "$list" Escape

echo "Fertig."
