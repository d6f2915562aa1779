#!/usr/bin/env bash
# Checks Zirkelon as the system gets it: installs the built tree into a scratch folder and checks
# the menu entry, the AppStream data and the manual page with the desktop's own tools; builds the
# Debian package, installs it with apt-get (as root, or through sudo) and runs the installed
# program from a folder outside the checkout, with its settings in ~/.local/share/zirkelon/.
# Expects a build in BUILD_DIR (default: build), as scripts/check.sh leaves it.
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
    share/man/man1/zirkelon.1 share/bash-completion/completions/zirkelon; do
    [[ -e $usr/$file ]] || fail "$file wurde nicht installiert"
done

echo "== Menüeintrag (desktop-file-validate)"
report=$(desktop-file-validate "$usr/share/applications/de.zirkelon.Zirkelon.desktop" 2>&1) ||
    fail "Menüeintrag: $report"
# Hints (two main categories: sound and education) are allowed; errors and warnings are not.
if grep -Eq "error|warning" <<<"$report"; then fail "Menüeintrag: $report"; fi

echo "== AppStream (appstreamcli validate --no-net)"
appstreamcli validate --no-net "$usr/share/metainfo/de.zirkelon.Zirkelon.metainfo.xml" ||
    fail "AppStream-Daten ungültig"
grep -q "release version=\"$("$build_dir/zirkelon" --version | awk '{print $2}')\"" \
    "$usr/share/metainfo/de.zirkelon.Zirkelon.metainfo.xml" ||
    fail "AppStream-Daten nennen nicht die Version des Programms"

echo "== Handbuchseite (man -l)"
warnings=$(MANWIDTH=80 man -l "$usr/share/man/man1/zirkelon.1" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man -l meldet: $warnings"

echo "== Debian-Paket (cpack -G DEB)"
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/zirkelon_*.deb)
echo "$(basename "$package"): $(stat -c %s "$package") Bytes"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
cp "$package" "$scratch/"
(cd "$scratch" && DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" \
    apt-get install -y -q "./$(basename "$package")" >/dev/null)
installed=$(command -v zirkelon) || fail "zirkelon ist nach der Installation nicht auf PATH"
[[ $installed == /usr/bin/zirkelon ]] || fail "zirkelon liegt in $installed statt /usr/bin"

echo "== Das installierte Programm, außerhalb des Quellbaums"
cd "$scratch"
zirkelon --version
zirkelon example >"$scratch/beispiele.txt"
grep -q "Kommafalle" "$scratch/beispiele.txt" || fail "zirkelon example nennt die Kommafalle nicht"
zirkelon compute --example Kommafalle --tsv >/dev/null

# Settings live in ~/.local/share/zirkelon/: a temperament of the user's own list there (c a
# quarter tone higher) is used, and nothing is written beside the installed executable.
piece="$scratch/stueck.txt"
printf 'mz   8    ceg\r\n' >"$piece"
list_home="$scratch/home/.local/share/zirkelon"
mkdir -p "$list_home"
cp -r "$root/tests/data/install/zirkelon.in3" "$list_home/"
with_list=$(cd / && env -u ZIRKELON_HOME HOME="$scratch/home" zirkelon compute "$piece")
expected=$(ZIRKELON_HOME="$list_home" "$root/$build_dir/zirkelon" compute "$piece")
without_list=$(cd / && env -u ZIRKELON_HOME HOME="$scratch/leer" zirkelon compute "$piece")
[[ $with_list == "$expected" ]] ||
    fail "das installierte Programm liest ~/.local/share/zirkelon/zirkelon.in3 nicht"
[[ $with_list != "$without_list" ]] || fail "die eigene Temperatur macht keinen Unterschied"
if ls /usr/bin | grep -q "^zirkelon\.in"; then fail "Einstellungen neben /usr/bin/zirkelon"; fi

echo "Installation geprüft."
