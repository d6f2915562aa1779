// SPDX-License-Identifier: GPL-3.0-or-later
// The libFuzzer entry of one target, chosen when the program is built (ZK_FUZZ_TARGET): a broken
// property or an exception no reader documents ends the run with the message, so that libFuzzer
// keeps the input.
#include "fuzz_checks.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const zk::fuzz::FuzzTarget& Target() {
    static const zk::fuzz::FuzzTarget* const target = zk::fuzz::FindFuzzTarget(ZK_FUZZ_TARGET);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target named %s\n", ZK_FUZZ_TARGET);
        std::abort();
    }
    return *target;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    zk::fuzz::PrepareFuzzing(argc, argv);
    // Once before the clock runs: the first picture loads the fonts, which takes longer than
    // the time an input is allowed.
    try {
        Target().check(QByteArray());
    } catch (const std::exception&) {
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zk::fuzz::FuzzTarget& target = Target();
    if (size > target.maxLength) {
        return -1; // not added to the corpus
    }
    try {
        target.check(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    } catch (const zk::fuzz::PropertyViolation& violation) {
        std::fprintf(stderr, "\n%s: property broken: %s\n", target.name, violation.what());
        std::abort();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\n%s: unexpected exception: %s\n", target.name, error.what());
        std::abort();
    }
    return 0;
}
