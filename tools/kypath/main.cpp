// kypath - the command-line face of the y32Path library.
#include <cstdio>
#include <string>

#include "tools/kypath/commands.h"
#include "y32Path.h"

namespace kypath {
// Registration functions, one per cmd_<name>.cpp.
}  // namespace kypath

int main(int argc, char **argv) {
    CLI::App app{"kypath - vector paths for raster images: masks, relief and shading from paths"};
    app.set_version_flag("--version", [] {
        int32_t lib = KyPathInit();
        char text[64];
        std::snprintf(text, sizeof text, "kypath %s (y32Path %d.%d)", KYPATH_VERSION, (lib >> 16) & 0xFFFF,
                      lib & 0xFFFF);
        return std::string(text);
    });
    const kypath::Registration registrations[] = {
        kypath::AddMaskCommand,
        kypath::AddTextCommand,
        kypath::AddShapeCommand,
        kypath::AddReliefCommand,
        kypath::AddWrapCommand,
        kypath::AddEnvelopeCommand,
        kypath::AddShadeCommand,
        kypath::AddRender3dCommand,
        kypath::AddStrokeCommand,
        kypath::AddGalleryCommand,
        nullptr,
    };
    for (kypath::Registration reg : registrations)
        if (reg) reg(app);
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kypath::kExitUsage;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kypath: %s\n", e.what());
        return kypath::kExitFailure;
    }
    if (app.get_subcommands().empty()) std::fputs(app.help().c_str(), stdout);
    return 0;
}
