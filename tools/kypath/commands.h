// tools/kypath/commands.h - the subcommands of kypath.
//
// Each subcommand lives in its own cmd_<name>.cpp and registers itself on
// the application; main() lists the registration functions once.
#pragma once

#include <CLI/CLI.hpp>

namespace kypath {

// Exit codes: 0 done; 2 anything that stopped the command (bad input, an
// unwritable file, the library refusing); 130 stopped by Ctrl-C, the code a
// shell gives a program SIGINT ended.
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

using Registration = void (*)(CLI::App &app);

void AddMaskCommand(CLI::App &app);
void AddTextCommand(CLI::App &app);
void AddShapeCommand(CLI::App &app);
void AddReliefCommand(CLI::App &app);
void AddWrapCommand(CLI::App &app);
void AddEnvelopeCommand(CLI::App &app);
void AddShadeCommand(CLI::App &app);
void AddRender3dCommand(CLI::App &app);
void AddStrokeCommand(CLI::App &app);
void AddGalleryCommand(CLI::App &app);

}  // namespace kypath
