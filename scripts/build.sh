#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds Zirkelon into BUILD_DIR (default: build). Extra arguments go to CMake's
# configuration; BUILD_TARGET (default: everything) names the one target to build.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
if [[ -n ${BUILD_TARGET:-} ]]; then
    cmake --build "$build_dir" --parallel "$(nproc)" --target "$BUILD_TARGET"
else
    cmake --build "$build_dir" --parallel "$(nproc)"
fi
