#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A broken invariant aborts, so that libFuzzer records the input as a crash.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

// The pane's whole text: its lines joined by CR LF.
inline std::u16string withCrLf(std::u16string_view lines)
{
    std::u16string out;
    for (const char16_t c : lines) {
        if (c == u'\n')
            out += u'\r';
        out += c;
    }
    return out;
}
