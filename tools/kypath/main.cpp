// kypath - the command-line face of the y32Path library.
#include <cstdio>
#include <new>
#include <string>

#include "tools/kypath/commands.h"
#include "tools/kypath/figure_io.h"
#include "y32Path.h"

namespace kypath {

// Prints "kypath <cmd>: <what>" as one line (a message that already
// starts with the command's name keeps it once; line breaks in parser
// messages become "; ") and gives the exit code back.
int Fail(const std::string &cmd, std::string what, int code) {
    if (!cmd.empty() && what.compare(0, cmd.size() + 2, cmd + ": ") == 0) what.erase(0, cmd.size() + 2);
    while (!what.empty() && (what.back() == '\n' || what.back() == ' ')) what.pop_back();
    for (size_t at = what.find('\n'); at != std::string::npos; at = what.find('\n', at))
        what.replace(at, 1, "; ");
    std::fprintf(stderr, "kypath%s%s: %s\n", cmd.empty() ? "" : " ", cmd.c_str(), what.c_str());
    return code;
}

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
    // Which command the words name, for the error line (also when the
    // parser stops before it reaches the command's own options).
    std::string cmd;
    const auto all = app.get_subcommands([](CLI::App *) { return true; });
    for (int i = 1; i < argc && cmd.empty(); ++i)
        for (const CLI::App *sub : all)
            if (sub->get_name() == argv[i]) cmd = argv[i];
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        return kypath::Fail(cmd, e.what(), kypath::kExitUsage);
    } catch (const kypath::Interrupted &e) {
        return kypath::Fail(cmd, e.what(), kypath::kExitInterrupted);
    } catch (const std::bad_alloc &) {
        return kypath::Fail(cmd, "out of memory", kypath::kExitUsage);
    } catch (const std::exception &e) {
        return kypath::Fail(cmd, e.what(), kypath::kExitUsage);
    }
    if (app.get_subcommands().empty()) std::fputs(app.help().c_str(), stdout);
    return 0;
}
