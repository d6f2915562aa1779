#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renews the MusicXML round-trip scores in tests/data/exchange/musicxml/musescore/: writes some
# built-in examples as MIDI files with the given Zirkelon (default: build/zirkelon; pitch bend, one
# channel per voice) and lets MuseScore 3 convert them headless, as a real notation program makes
# MusicXML of them. Afterwards every new score is checked against manifest.txt: the chords of the
# MIDI file (note-ons on one tick) and the chords of the score (notes starting at one onset) must
# both be the manifest's. A tool for renewing test data by hand, not part of the test run.
# Needs mscore3 (apt-get install --no-install-recommends musescore3) and python3.
# MIDI_DIR=FOLDER keeps the MIDI files there.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/data/exchange/musicxml/musescore
manifest=$out/manifest.txt

fail() {
    echo "FEHLER: $*" >&2
    exit 1
}

zirkelon=${1:-build/zirkelon}
[[ -x $zirkelon ]] || fail "$zirkelon ist kein ausführbares Programm"
zirkelon=$(realpath "$zirkelon")
command -v mscore3 >/dev/null ||
    fail "mscore3 fehlt (apt-get install --no-install-recommends musescore3)"
command -v python3 >/dev/null || fail "python3 fehlt"
[[ -f $manifest ]] || fail "$manifest fehlt"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"

# The examples: caption | file name without extension | formats MuseScore writes.
examples=(
    "Kadenz C-Dur|kadenz-c-dur|musicxml mxl"
    "Kadenz c-moll|kadenz-c-moll|musicxml"
    "Harmonien|harmonien|musicxml"
    "Laudate|laudate|musicxml"
    "Choral: Verleih uns Frieden|choral-verleih-uns-frieden|musicxml mxl"
    "Vom Himmel hoch ...|vom-himmel-hoch|musicxml"
    "Choral: Ach lieber Herre Jesu Christ|choral-ach-lieber-herre-jesu-christ|musicxml"
    "Diskantklausel|diskantklausel|musicxml"
    "Kommafalle|kommafalle|musicxml"
)

version=$(QT_QPA_PLATFORM=offscreen HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" \
    mscore3 --version 2>/dev/null | tail -n 1)
echo "== $version"
[[ $version == "MuseScore3 3.2.3" ]] ||
    echo "Hinweis: manifest.txt beschreibt MuseScore 3.2.3; die Anmerkungen dort prüfen"

# MuseScore runs with factory settings and a home of its own, so that no preference of the user
# (MIDI import options among them) changes what it makes.
musescore() {
    QT_QPA_PLATFORM=offscreen HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" \
        mscore3 -F -c "$scratch/config" "$@"
}

# The check, independent of Zirkelon and of the program that will import the scores: prints the
# chords of the MIDI file and those of the score, each as "48,64,67,72 ; 53,65,69,72 ; ...".
chords() {
    python3 - "$1" "$2" <<'EOF'
import sys, zipfile
import xml.etree.ElementTree as ET
from fractions import Fraction

def varlen(data, pos):
    value = 0
    while True:
        value = (value << 7) | (data[pos] & 0x7F)
        pos += 1
        if not data[pos - 1] & 0x80:
            return value, pos

def midi_chords(path):
    data = open(path, 'rb').read()
    assert data[:4] == b'MThd'
    pos, onsets = 8 + int.from_bytes(data[4:8], 'big'), {}
    while pos < len(data):
        assert data[pos:pos + 4] == b'MTrk'
        p, end = pos + 8, pos + 8 + int.from_bytes(data[pos + 4:pos + 8], 'big')
        tick, status = 0, None
        while p < end:
            delta, p = varlen(data, p)
            tick += delta
            if data[p] == 0xFF:
                length, q = varlen(data, p + 2)
                p, status = q + length, None
            elif data[p] in (0xF0, 0xF7):
                length, q = varlen(data, p + 1)
                p, status = q + length, None
            else:
                if data[p] & 0x80:
                    status, p = data[p], p + 1
                size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                if status & 0xF0 == 0x90 and data[p + 1] > 0:
                    onsets.setdefault(tick, []).append(data[p])
                p += size
        pos = end
    return [sorted(onsets[t]) for t in sorted(onsets)]

def score_chords(path):
    if path.endswith('.mxl'):
        with zipfile.ZipFile(path) as z:
            name = ET.fromstring(z.read('META-INF/container.xml')).find('.//rootfile')
            root = ET.fromstring(z.read(name.get('full-path')))
    else:
        root = ET.parse(path).getroot()
    steps, onsets = dict(C=0, D=2, E=4, F=5, G=7, A=9, B=11), {}
    for part in root.findall('part'):
        divisions, start = Fraction(1), Fraction(0)
        for measure in part.findall('measure'):
            pos = far = last = Fraction(0)
            for el in measure:
                if el.tag == 'attributes' and el.findtext('divisions'):
                    divisions = Fraction(int(el.findtext('divisions')))
                elif el.tag in ('backup', 'forward'):
                    step = Fraction(int(el.findtext('duration'))) / divisions
                    pos += step if el.tag == 'forward' else -step
                    far = max(far, pos)
                elif el.tag == 'note':
                    length = Fraction(0) if el.find('grace') is not None else \
                        Fraction(int(el.findtext('duration') or 0)) / divisions
                    if el.find('chord') is None:
                        last, pos = pos, pos + length
                        far = max(far, pos)
                    pitch = el.find('pitch')
                    ties = [t.get('type') for t in el.findall('tie')]
                    if pitch is None or 'stop' in ties:
                        continue
                    key = 12 * (int(pitch.findtext('octave')) + 1) + \
                        steps[pitch.findtext('step')] + int(float(pitch.findtext('alter') or 0))
                    onsets.setdefault(start + last, []).append(key)
            start += far
    return [sorted(onsets[t]) for t in sorted(onsets)]

for chords in (midi_chords(sys.argv[1]), score_chords(sys.argv[2])):
    print(' ; '.join(','.join(map(str, keys)) for keys in chords))
EOF
}

mkdir -p "$out"
wrong=0
for entry in "${examples[@]}"; do
    IFS='|' read -r caption base formats <<<"$entry"
    midi="$scratch/$base.mid"
    mkdir "$scratch/zirkelon-$base"
    ZIRKELON_HOME="$scratch/zirkelon-$base" "$zirkelon" midi --tuning bend -o "$midi" \
        --example "$caption" >/dev/null || fail "zirkelon midi --example \"$caption\" scheitert"
    [[ -z ${MIDI_DIR:-} ]] || { mkdir -p "$MIDI_DIR" && cp "$midi" "$MIDI_DIR/"; }
    for format in $formats; do
        name=$base.$format
        # Converted in the scratch folder first, so that a failure leaves the old file in place;
        # the name matters, an .mxl names its score after it.
        musescore -o "$scratch/$name" "$midi" >"$scratch/mscore.log" 2>&1 || {
            cat "$scratch/mscore.log" >&2
            fail "MuseScore konnte $base.mid nicht nach $name umwandeln"
        }
        [[ -s $scratch/$name ]] || fail "MuseScore hat $name nicht geschrieben"
        expected=$(awk -F ' [|] ' -v name="$name" '$1 == name { print $3 }' "$manifest")
        result=$(chords "$midi" "$scratch/$name")
        from_midi=$(sed -n 1p <<<"$result")
        from_score=$(sed -n 2p <<<"$result")
        mv "$scratch/$name" "$out/$name"
        if [[ -z $expected ]]; then
            echo "FEHLER: manifest.txt hat keine Zeile für $name" >&2
            wrong=1
        elif [[ $from_midi != "$expected" ]]; then
            echo "FEHLER: $name: die MIDI-Datei hat andere Akkorde als manifest.txt: $from_midi" >&2
            wrong=1
        elif [[ $from_score != "$expected" ]]; then
            echo "FEHLER: $name: MuseScore hat die Akkorde verändert: $from_score" >&2
            wrong=1
        else
            count=$(awk -F ' ; ' '{ print NF }' <<<"$expected")
            echo "$name: $caption, $count Akkorde wie im Manifest"
        fi
    done
done
[[ $wrong -eq 0 ]] ||
    fail "manifest.txt passt nicht zu den neuen Dateien; Manifest und Test prüfen"
echo "Partituren in $out erneuert."
