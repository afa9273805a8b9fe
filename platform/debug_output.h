// platform/debug_output.h - the debugger output channel.
//
// Diagnostics are silent unless the environment variable Y32PATH_DEBUG is
// set (then they go to stderr). A sink installed by a test or a host sees
// every line whether or not the variable is set.
#pragma once

namespace plat {

using DebugSink = void (*)(const char *text, void *user);

void OutputDebugStringA(const char *text);
// Installs a sink (NULL removes it) and returns the previous one.
DebugSink SetDebugSink(DebugSink sink, void *user);

}  // namespace plat
