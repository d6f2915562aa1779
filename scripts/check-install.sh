#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks Zirkelon as the system gets it: installs the built tree into a scratch folder and checks
# the menu entry, the AppStream data, the manual page and the file type with the desktop's own
# tools; builds the Debian package, checks it with lintian, installs it with apt-get (as root, or
# through sudo), checks that the desktop knows piece files and opens them with Zirkelon, and runs
# the installed program from a folder outside the checkout, with its settings in
# ~/.local/share/zirkelon/. Expects a build in BUILD_DIR (default: build), as scripts/check.sh
# leaves it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${BUILD_DIR:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FEHLER: $*" >&2
    exit 1
}

echo "== Installation in einen Ordner (DESTDIR)"
DESTDIR="$scratch/dest" cmake --install "$build_dir" --prefix /usr >/dev/null
usr="$scratch/dest/usr"
for file in bin/zirkelon share/applications/de.zirkelon.Zirkelon.desktop \
    share/metainfo/de.zirkelon.Zirkelon.metainfo.xml \
    share/icons/hicolor/scalable/apps/de.zirkelon.Zirkelon.svg \
    share/icons/hicolor/48x48/apps/de.zirkelon.Zirkelon.png \
    share/icons/hicolor/128x128/apps/de.zirkelon.Zirkelon.png \
    share/icons/hicolor/256x256/apps/de.zirkelon.Zirkelon.png \
    share/man/man1/zirkelon.1.gz share/bash-completion/completions/zirkelon \
    share/mime/packages/de.zirkelon.Zirkelon.xml share/lintian/overrides/zirkelon \
    share/doc/zirkelon/copyright share/doc/zirkelon/changelog.gz \
    share/doc/zirkelon/benutzerhandbuch.html share/doc-base/zirkelon-benutzerhandbuch; do
    [[ -e $usr/$file ]] || fail "$file wurde nicht installiert"
done

echo "== Menüeintrag (desktop-file-validate)"
report=$(desktop-file-validate "$usr/share/applications/de.zirkelon.Zirkelon.desktop" 2>&1) ||
    fail "Menüeintrag: $report"
# Not even a hint: the entry has one main category (sound) and opens what its file types name.
[[ -z $report ]] || fail "Menüeintrag: $report"

echo "== AppStream (appstreamcli validate --no-net)"
appstreamcli validate --no-net "$usr/share/metainfo/de.zirkelon.Zirkelon.metainfo.xml" ||
    fail "AppStream-Daten ungültig"
grep -q "release version=\"$("$build_dir/zirkelon" --version | awk '{print $2}')\"" \
    "$usr/share/metainfo/de.zirkelon.Zirkelon.metainfo.xml" ||
    fail "AppStream-Daten nennen nicht die Version des Programms"

echo "== Handbuchseite (man -l)"
warnings=$(MANWIDTH=80 man -l "$usr/share/man/man1/zirkelon.1.gz" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man -l meldet: $warnings"
MANWIDTH=80 man -l "$usr/share/man/man1/zirkelon.1.gz" 2>/dev/null |
    grep -q "/usr/share/doc/zirkelon/benutzerhandbuch.html" ||
    fail "die Handbuchseite nennt das Benutzerhandbuch nicht"

echo "== Benutzerhandbuch (HTML)"
guide="$usr/share/doc/zirkelon/benutzerhandbuch.html"
grep -q '<html lang="de">' "$guide" || fail "das Benutzerhandbuch ist keine deutsche HTML-Seite"
grep -q '<table>' "$guide" || fail "die Tabellen des Benutzerhandbuchs fehlen in der HTML-Seite"
for image in $(grep -o 'src="images/[^"]*"' "$guide" | sed 's/^src="//; s/"$//'); do
    [[ -f $usr/share/doc/zirkelon/$image ]] || fail "das Bild $image des Benutzerhandbuchs fehlt"
done

echo "== Dateityp (update-mime-database)"
# Run as for a data folder of the desktop's, so that it says no more than what is wrong.
report=$(XDG_DATA_DIRS="$usr/share" update-mime-database "$usr/share/mime" 2>&1) ||
    fail "Dateityp: $report"
[[ -z $report ]] || fail "Dateityp: $report"

echo "== Debian-Paket (cpack -G DEB)"
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/zirkelon_*.deb)
echo "$(basename "$package"): $(stat -c %s "$package") Bytes"

echo "== Debian-Paket (lintian --info --display-info --pedantic)"
report=$(lintian --info --display-info --pedantic --fail-on none "$package" 2>&1) ||
    fail "lintian lief nicht durch: $report"
if [[ -n $report ]]; then echo "$report"; fi
if grep -Eq "^[EW]: " <<<"$report"; then fail "lintian meldet Fehler oder Warnungen"; fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
cp "$package" "$scratch/"
(cd "$scratch" && DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" \
    apt-get install --reinstall -y -q "./$(basename "$package")" >/dev/null)
installed=$(command -v zirkelon) || fail "zirkelon ist nach der Installation nicht auf PATH"
[[ $installed == /usr/bin/zirkelon ]] || fail "zirkelon liegt in $installed statt /usr/bin"

[[ -f /usr/share/doc/zirkelon/benutzerhandbuch.html ]] ||
    fail "das Benutzerhandbuch liegt nicht in /usr/share/doc/zirkelon/"
if readelf -S --wide /usr/bin/zirkelon | grep -q " \.comment "; then
    fail "/usr/bin/zirkelon hat noch einen Abschnitt .comment"
fi
# "Hilfe|Benutzerhandbuch" opens the guide found from the program's own folder; the program holds
# that way as a Qt string, in UTF-16.
relative=$(strings -el /usr/bin/zirkelon | grep -x "\(\.\./\)*share/doc/zirkelon/benutzerhandbuch\.html") ||
    fail "das Programm nennt den Weg zu seinem Benutzerhandbuch nicht"
[[ $(realpath -m "/usr/bin/$relative") == /usr/share/doc/zirkelon/benutzerhandbuch.html ]] ||
    fail "das Programm sucht sein Benutzerhandbuch in /usr/bin/$relative"

echo "== Das installierte Programm, außerhalb des Quellbaums"
cd "$scratch"
zirkelon --version
zirkelon example >"$scratch/beispiele.txt"
grep -q "Kommafalle" "$scratch/beispiele.txt" || fail "zirkelon example nennt die Kommafalle nicht"
zirkelon compute --example Kommafalle --tsv >/dev/null

# The lists live in ~/.config/zirkelon/; an older version kept them in ~/.local/share/zirkelon/,
# and the first start moves them over. A temperament of the user's own list (c a quarter tone
# higher) is used, and nothing is written beside the installed executable.
piece="$scratch/stueck.txt"
printf 'mz   8    ceg\r\n' >"$piece"
list_home="$scratch/home/.local/share/zirkelon"
mkdir -p "$list_home"
cp -r "$root/tests/data/install/zirkelon.in3" "$list_home/"
# The build's own program first: the installed one moves the list to where it keeps it now.
expected=$(ZIRKELON_HOME="$list_home" "$root/$build_dir/zirkelon" compute "$piece")
with_list=$(cd / && env -u ZIRKELON_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME \
    HOME="$scratch/home" zirkelon compute "$piece")
without_list=$(cd / && env -u ZIRKELON_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME \
    HOME="$scratch/leer" zirkelon compute "$piece")
[[ $with_list == "$expected" ]] ||
    fail "das installierte Programm liest die Stimmungsliste von ~/.local/share/zirkelon/ nicht"
[[ $with_list != "$without_list" ]] || fail "die eigene Temperatur macht keinen Unterschied"
cmp -s "$root/tests/data/install/zirkelon.in3" "$scratch/home/.config/zirkelon/zirkelon.in3" ||
    fail "die Stimmungsliste wurde nicht nach ~/.config/zirkelon/ übernommen"
[[ ! -e $list_home/zirkelon.in3 ]] || fail "die alte Stimmungsliste liegt noch in $list_home"
if ls /usr/bin | grep -q "^zirkelon\.in"; then fail "Einstellungen neben /usr/bin/zirkelon"; fi

echo "== Der erste Start mit einem neuen Benutzer (XDG-Ordner)"
# The windows start (offscreen) and are ended after a few seconds. An installed copy writes no
# launcher onto the desktop and nothing outside the XDG folders of the user.
fresh="$scratch/frisch"
mkdir -p "$fresh/Schreibtisch" "$fresh/.config"
printf 'XDG_DESKTOP_DIR="$HOME/Schreibtisch"\n' >"$fresh/.config/user-dirs.dirs"
(cd "$scratch" && env -u ZIRKELON_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME \
    HOME="$fresh" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/laufzeit" \
    timeout 5 zirkelon >/dev/null 2>&1) || [[ $? == 124 ]] || fail "der erste Start schlug fehl"
[[ -d $fresh/.config/zirkelon ]] || fail "der erste Start legte ~/.config/zirkelon/ nicht an"
outside=$(cd "$fresh" && find . \( -path ./.config -o -path ./.cache -o -path ./.local/share -o \
    -path ./Schreibtisch \) -prune -o ! -type d -print)
outside+=$(find "$fresh/Schreibtisch" -mindepth 1)
[[ -z $outside ]] || fail "der erste Start schrieb außerhalb der XDG-Ordner: $outside"
# With ZIRKELON_HOME everything stays in that folder, the libraries' caches and settings too.
own="$scratch/eigen"
other="$scratch/anderes-heim"
mkdir -p "$other/Schreibtisch" "$other/.config"
cp "$fresh/.config/user-dirs.dirs" "$other/.config/"
(cd "$scratch" && env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME HOME="$other" \
    ZIRKELON_HOME="$own" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch/laufzeit" \
    timeout 5 zirkelon >/dev/null 2>&1) || [[ $? == 124 ]] || fail "der Start mit ZIRKELON_HOME schlug fehl"
[[ -n $(ls -A "$own") ]] || fail "mit ZIRKELON_HOME wurde nichts in $own geschrieben"
outside=$(find "$other" ! -type d ! -path "$other/.config/user-dirs.dirs")
[[ -z $outside ]] || fail "mit ZIRKELON_HOME schrieb das Programm außerhalb: $outside"

echo "== Stückdateien auf dem Schreibtisch (xdg-mime)"
# A piece file has any name: one as Zirkelon saves it (its timbre line first) and one written by
# hand (the table's header first), each without an extension and as .dat. xdg-mime asks the
# desktop's own tools; in a bare system, with no desktop, it reads the shared MIME database
# through "mimetype" (libfile-mimeinfo-perl), so it is told it runs on none, in a home of its own.
mkdir -p "$scratch/stuecke" "$scratch/mime-home"
zirkelon example "Kadenz C-Dur" >"$scratch/stuecke/gespeichert" 2>/dev/null
cp "$scratch/stuecke/gespeichert" "$scratch/stuecke/gespeichert.dat"
printf 'TA   D    Akkord\r\nc    8    ceg\r\n' >"$scratch/stuecke/stueck"
cp "$scratch/stuecke/stueck" "$scratch/stuecke/stueck.dat"
desktop_query() {
    env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_DATA_DIRS -u XDG_CONFIG_DIRS \
        XDG_CURRENT_DESKTOP=X-Generic HOME="$scratch/mime-home" xdg-mime query "$@"
}
command -v mimetype >/dev/null ||
    fail "mimetype fehlt (libfile-mimeinfo-perl), xdg-mime kann Dateitypen sonst nicht erkennen"
# The package's trigger has rebuilt the system's database; where dpkg defers triggers, rebuild it.
if [[ $(desktop_query filetype "$scratch/stuecke/stueck") != application/x-zirkelon-piece ]]; then
    echo "Die Datenbank der Dateitypen wird neu aufgebaut (update-mime-database)."
    "${sudo_cmd[@]}" update-mime-database /usr/share/mime
fi
for file in gespeichert gespeichert.dat stueck stueck.dat; do
    type=$(desktop_query filetype "$scratch/stuecke/$file")
    [[ $type == application/x-zirkelon-piece ]] ||
        fail "die Stückdatei $file gilt als $type statt application/x-zirkelon-piece"
done
handler=$(desktop_query default application/x-zirkelon-piece)
[[ $handler == de.zirkelon.Zirkelon.desktop ]] ||
    fail "Stückdateien öffnet ${handler:-kein Programm} statt de.zirkelon.Zirkelon.desktop"

echo "Installation geprüft."
