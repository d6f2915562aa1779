#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# From a bare Debian machine: installs what is missing, builds with warnings as errors and runs
# every test. With --sanitize the same suite runs in a second build (build-asan, made by
# scripts/sanitizer-build.sh) under AddressSanitizer and UndefinedBehaviorSanitizer, and then
# every fuzz program for a short while (scripts/fuzz.sh --ci). Both builds keep line tables only
# (-g1): enough for the sanitizers' and a debugger's stack traces.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

# Every source file is kept in the project's clang-format style.
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

if [[ ${1:-} == --sanitize ]]; then
    source scripts/sanitizer-build.sh
else
    export BUILD_DIR=build
    # Everything, also where scripts/start.sh has set up the folder for the program alone.
    scripts/build.sh -DZK_WERROR=ON -DBUILD_TESTING=ON -DZK_BENCHMARKS=ON \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
fi

# The sound tests play through a PulseAudio server with a null sink and record its monitor.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/zirkelon-runtime}
scripts/start-sound-server.sh

# The printing tests print through a CUPS queue whose backend writes the jobs into a folder.
scripts/start-print-server.sh

# Under the sanitizers FluidSynth's renderings of the MIDI files are left out: they check how
# FluidSynth reads files whose writing the other MIDI tests check here too, and they take a
# minute in this build. The ordinary run has them. So is the replay of the fuzz corpus, which the
# fuzz programs replay in this build when they start.
exclude=()
if [[ ${1:-} == --sanitize ]]; then
    exclude=(--exclude-regex '^(FluidSynthCheck[.]|Targets/FuzzCorpus[.])')
fi
# The sanitizer build's tests wait for a third of their time (starting, the print server), so a
# third test runs beside the two; its time limits are eight times as wide.
jobs=$(nproc)
if [[ ${1:-} == --sanitize ]]; then
    jobs=$((jobs + 1))
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$jobs" --timeout 300 "${exclude[@]}"

# Every reader's fuzz program for a few seconds from the kept corpus, in the same build.
if [[ ${1:-} == --sanitize ]]; then
    scripts/fuzz.sh --ci 6
fi
