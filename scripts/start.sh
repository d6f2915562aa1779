#!/usr/bin/env bash
# From a bare Debian machine: installs what is missing, builds and starts Zirkelon.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
scripts/build.sh
./build/zirkelon --help
echo
echo '$ zirkelon eval "440*3/2"'
./build/zirkelon eval "440*3/2"
