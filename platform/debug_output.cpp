#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>

namespace plat {

namespace {
DebugSink g_sink = nullptr;
void *g_sink_user = nullptr;
}  // namespace

void OutputDebugStringA(const char *text) {
    if (!text) return;
    if (g_sink) g_sink(text, g_sink_user);
    // Read each time: a host may set the variable after loading the library.
    if (std::getenv("Y32PATH_DEBUG")) std::fputs(text, stderr);
}

DebugSink SetDebugSink(DebugSink sink, void *user) {
    DebugSink previous = g_sink;
    g_sink = sink;
    g_sink_user = user;
    return previous;
}

}  // namespace plat
