// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Time limits for the checks that a reader stays linear on a long input. They are set well
// below what a quadratic reader would take on the same input and well above what a loaded
// machine needs; a sanitizer build runs several times slower and gets its own margin.

#ifndef __has_feature
#define __has_feature(x) 0
#endif

namespace zk::test {

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
inline constexpr int kSlowBuildFactor = 8;
#else
inline constexpr int kSlowBuildFactor = 1;
#endif

// `idleMs` is what an idle machine's ordinary build may take at most, loaded included.
constexpr int TimeLimitMs(int idleMs) {
    return idleMs * kSlowBuildFactor;
}

} // namespace zk::test
