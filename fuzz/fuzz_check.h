#pragma once

#include <cstdio>
#include <cstdlib>

/// A property a fuzz target checks on every input. A failure prints the condition and aborts,
/// so libFuzzer reports it like a crash and keeps the input as an artifact. Unlike assert()
/// it stays on whatever the build type.
#define QVX_FUZZ_CHECK(condition)                                                           \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, \
                         #condition);                                                       \
            std::abort();                                                                   \
        }                                                                                   \
    } while (false)
