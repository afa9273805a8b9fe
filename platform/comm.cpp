// platform/comm.cpp - stand-ins for the host's common support library.
//
// The library reports failures through c32SetDLLErrInfo and asks
// y32IsEscPressed during long work. There is no keyboard to poll here: the
// host (or a test) answers through a hook.
#include "y32Comm.h"

namespace {
Y32ErrInfo g_last{};
int32_t g_reports = 0;
Y32EscHook g_esc_hook = nullptr;
void *g_esc_user = nullptr;
}  // namespace

Y32_BEGIN_C

int32_t c32SetDLLErrInfo(int32_t aux, int32_t code, int32_t severity, int32_t module,
                         int32_t unit, int32_t line) {
    g_last = Y32ErrInfo{aux, code, severity, module, unit, line};
    if (g_reports < INT32_MAX) ++g_reports;
    return 1;
}

int32_t c32GetDLLErrInfo(Y32ErrInfo *out) {
    if (out && g_reports > 0) *out = g_last;
    return g_reports;
}

void c32ClearDLLErrInfo(void) {
    g_last = Y32ErrInfo{};
    g_reports = 0;
}

int32_t y32IsEscPressed(void) { return g_esc_hook ? (g_esc_hook(g_esc_user) != 0) : 0; }

void y32SetEscPressedHook(Y32EscHook hook, void *user) {
    g_esc_hook = hook;
    g_esc_user = user;
}

Y32_END_C
