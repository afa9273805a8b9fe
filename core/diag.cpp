#include "core/diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"
#include "y32Comm.h"

namespace diag {

void ReportError(int32_t aux, int32_t code, int32_t severity, int32_t unit, int32_t line) {
    c32SetDLLErrInfo(aux, code, severity, kModule, unit, line);
}

}  // namespace diag

void DebugPrint(const char *format, ...) {
    if (!format) return;
    // The format goes through a 128-byte buffer first, so an overlong one is
    // cut rather than read or expanded without bound. Cutting can only drop
    // conversions from the end, so the arguments still match a prefix.
    char fmt[128];
    std::strncpy(fmt, format, sizeof fmt - 1);
    fmt[sizeof fmt - 1] = '\0';
    char text[512];
    va_list args;
    va_start(args, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vsnprintf(text, sizeof text, fmt, args);
#pragma GCC diagnostic pop
    va_end(args);
    plat::OutputDebugStringA(text);
}
