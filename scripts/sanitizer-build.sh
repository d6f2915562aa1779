# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by scripts/check.sh --sanitize and scripts/fuzz.sh: one build (build-asan) serves the
# test suite under AddressSanitizer and UndefinedBehaviorSanitizer and the fuzz programs. Clang
# compiles it: a second compiler's warnings, libFuzzer, and the unoptimised sanitizer code in two
# thirds of GCC's time. Line tables only (-g1): enough for the sanitizers' stack traces.
export BUILD_DIR=build-asan BUILD_TYPE=Debug CXX=clang++
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
scripts/build.sh -DZK_WERROR=ON -DZK_SANITIZE=ON -DZIRKELON_FUZZ=ON -DBUILD_TESTING=ON \
    -DZK_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS_DEBUG=-g1
