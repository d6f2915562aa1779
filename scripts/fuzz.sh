#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes the readers with libFuzzer, in the sanitizer build (build-asan; scripts/sanitizer-build.sh
# makes it when it has no fuzz programs yet).
#
#   scripts/fuzz.sh TARGET SECONDS   one target for SECONDS from its kept corpus: inputs that reach
#                                    new code join fuzz/corpus/TARGET, an input that breaks a check
#                                    is kept in fuzz/crashes/TARGET (the test suite replays both);
#                                    further arguments go to libFuzzer (-runs=1000000)
#   scripts/fuzz.sh --ci SECONDS     every target for SECONDS, two at a time, the kept corpus left
#                                    as it is; fails when one breaks, its input kept under
#                                    build-asan/fuzz-findings/TARGET
#   scripts/fuzz.sh --merge TARGET   the kept corpus cut down to the inputs that reach distinct code
#   scripts/fuzz.sh --list           the targets
#
# Every input is checked within a second (-timeout=1) and may be as long as 200 000 bytes; a run
# that needs more than 2 GiB of memory counts as a finding too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-asan

usage() {
    sed -n '5,15s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

programs() {
    find "$build/fuzz" -maxdepth 1 -type f -name 'zk_fuzz_*' -executable -printf '%f\n' 2>/dev/null |
        sed 's/^zk_fuzz_//' | sort
}

ensure_build() {
    if [[ -z $(programs) || ${FUZZ_REBUILD:-1} == 1 ]]; then
        (source scripts/sanitizer-build.sh) >/dev/null
    fi
}

# The options of every run of TARGET; further arguments are libFuzzer's.
run_target() {
    local target=$1
    shift
    local options=(-timeout=1 -max_len=200000 -rss_limit_mb=2048 -print_final_stats=1)
    if [[ -f fuzz/dictionaries/$target.dict ]]; then
        options+=("-dict=$root/fuzz/dictionaries/$target.dict")
    fi
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        QT_QPA_PLATFORM=offscreen "$build/fuzz/zk_fuzz_$target" "${options[@]}" "$@"
}

case ${1:-} in
--list)
    programs
    ;;
--merge)
    [[ $# -eq 2 ]] || usage
    ensure_build
    target=$2
    merged=$(mktemp -d)
    trap 'rm -rf "$merged"' EXIT
    run_target "$target" -merge=1 "$merged" "fuzz/corpus/$target"
    rm -rf "fuzz/corpus/$target"
    mkdir -p "fuzz/corpus/$target"
    cp "$merged"/* "fuzz/corpus/$target/"
    echo "fuzz/corpus/$target: $(find "fuzz/corpus/$target" -type f | wc -l) Eingaben"
    ;;
--ci)
    [[ $# -eq 2 ]] || usage
    seconds=$2
    FUZZ_REBUILD=${FUZZ_REBUILD:-0} ensure_build
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    findings="$build/fuzz-findings"
    rm -rf "$findings"
    failed=()
    fuzz_one() {
        local target=$1
        mkdir -p "$scratch/$target" "$findings/$target"
        if run_target "$target" -max_total_time="$seconds" -artifact_prefix="$findings/$target/" \
            "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
            echo "$target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$scratch/$target.log" |
                awk '{print $2}') Läufe, kein Befund"
        else
            echo "FEHLER: $target ist gescheitert; die Eingabe liegt in $findings/$target/" >&2
            tail -n 40 "$scratch/$target.log" >&2
            return 1
        fi
    }
    # Two at a time, one a core.
    pids=()
    names=()
    for target in $(programs); do
        fuzz_one "$target" &
        pids+=($!)
        names+=("$target")
        if ((${#pids[@]} == 2)); then
            wait "${pids[0]}" || failed+=("${names[0]}")
            pids=("${pids[1]}")
            names=("${names[1]}")
        fi
    done
    for i in "${!pids[@]}"; do
        wait "${pids[$i]}" || failed+=("${names[$i]}")
    done
    if ((${#failed[@]} > 0)); then
        echo "FEHLER: gescheiterte Ziele: ${failed[*]}" >&2
        exit 1
    fi
    ;;
-* | '')
    usage
    ;;
*)
    [[ $# -ge 2 ]] || usage
    target=$1
    seconds=$2
    shift 2
    ensure_build
    if ! programs | grep -qx "$target"; then
        echo "Unbekanntes Ziel \"$target\"; möglich sind: $(programs | tr '\n' ' ')" >&2
        exit 2
    fi
    mkdir -p "fuzz/corpus/$target" "fuzz/crashes/$target"
    run_target "$target" -max_total_time="$seconds" -artifact_prefix="fuzz/crashes/$target/" \
        "$@" "fuzz/corpus/$target"
    ;;
esac
