// tools/kypath-edit/main.cpp - kypath-edit: a small interactive host of the
// library's editing tools in an SDL window, or driven by an event script.
//
//   kypath-edit [image.png]                    edit in a window
//   kypath-edit --replay events.txt --screenshot out.png
//                                              no window: replay, then save
//   kypath-edit --auto-demo events.txt [--screenshot out.png]
//                                              feed a script into the window
//
// Both modes hand every event to the same Editor; the replay runs the
// script as fast as it can, the window waits for each event's time.
#include <SDL.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/kypath-edit/editor.h"
#include "tools/kypath-edit/replay.h"
#include "tools/kypath/png_io.h"

namespace {

struct Options {
    std::string image;
    std::string canvas = "640x480";
    std::string window;
    std::string replay;
    std::string demo;
    std::string screenshot;
    bool verbose = false;
};

// Exit codes: 1 for a failure at run time, 2 for bad input.
constexpr int kRunFailure = 1;
constexpr int kBadInput = 2;

bool ParseSize(const std::string &s, int32_t *w, int32_t *h) {
    int a = 0, b = 0;
    char extra = 0;
    if (std::sscanf(s.c_str(), "%dx%d%c", &a, &b, &extra) != 2 || a < 16 || b < 16 || a > 8192 || b > 8192)
        return false;
    *w = a;
    *h = b;
    return true;
}

bool SavePng(const std::string &file, const std::vector<uint8_t> &bgr, int32_t w, int32_t h, std::string *error) {
    std::vector<uint8_t> rgb(bgr.size());
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
        rgb[i] = bgr[i + 2];
        rgb[i + 1] = bgr[i + 1];
        rgb[i + 2] = bgr[i];
    }
    return kypath::WritePngRgb(file, rgb.data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                               static_cast<size_t>(w) * 3, error);
}

void ShowHelp() { std::printf("%s", kedit::KeyHelp()); }

int RunReplay(kedit::Editor &ed, const std::vector<kedit::Event> &events, const std::string &screenshot,
              bool verbose) {
    for (const kedit::Event &e : events) {
        ed.Handle(e);
        if (ed.TakeHelpRequest()) ShowHelp();
        if (verbose) std::printf("%lld ms: %s\n", static_cast<long long>(e.ms), ed.Status().c_str());
    }
    if (!screenshot.empty()) {
        std::string error;
        if (!SavePng(screenshot, ed.Compose(), ed.ClientWidth(), ed.ClientHeight(), &error)) {
            std::fprintf(stderr, "kypath-edit: %s\n", error.c_str());
            return kRunFailure;
        }
    }
    return 0;
}

uint32_t Mods(uint16_t sdl) {
    uint32_t m = 0;
    if (sdl & KMOD_SHIFT) m |= kedit::kShift;
    if (sdl & KMOD_CTRL) m |= kedit::kCtrl;
    if (sdl & KMOD_ALT) m |= kedit::kAlt;
    return m;
}

// The script name of a key, or "" for keys the editor does not use.
std::string KeyName(const SDL_Keysym &k) {
    const SDL_Keycode c = k.sym;
    if (c >= SDLK_a && c <= SDLK_z) return std::string(1, static_cast<char>(c));
    if (c == SDLK_SLASH && (k.mod & KMOD_SHIFT)) return "?";
    if (c == SDLK_QUESTION) return "?";
    if (c >= SDLK_0 && c <= SDLK_9) return std::string(1, static_cast<char>(c));
    switch (c) {
        case SDLK_PLUS:
        case SDLK_KP_PLUS: return "+";
        case SDLK_EQUALS: return (k.mod & KMOD_SHIFT) ? "+" : "=";
        case SDLK_MINUS:
        case SDLK_KP_MINUS: return "-";
        case SDLK_LEFTBRACKET: return "[";
        case SDLK_RIGHTBRACKET: return "]";
        case SDLK_ESCAPE: return "escape";
        case SDLK_BACKSPACE: return "backspace";
        case SDLK_DELETE: return "delete";
        case SDLK_TAB: return "tab";
        case SDLK_LEFT: return "left";
        case SDLK_RIGHT: return "right";
        case SDLK_UP: return "up";
        case SDLK_DOWN: return "down";
        case SDLK_HOME: return "home";
        default: return "";
    }
}

int RunWindow(kedit::Editor &ed, const std::vector<kedit::Event> &demo, const std::string &screenshot) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "kypath-edit: no window: %s\n", SDL_GetError());
        return kRunFailure;
    }
    const int32_t w = ed.ClientWidth(), h = ed.ClientHeight();
    SDL_Window *window = SDL_CreateWindow("kypath-edit", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, 0);
    SDL_Renderer *renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture *texture =
        renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING, w, h) : nullptr;
    int rc = 0;
    if (!texture) {
        std::fprintf(stderr, "kypath-edit: no window: %s\n", SDL_GetError());
        rc = kRunFailure;
    }
    const uint32_t start = SDL_GetTicks();
    size_t next = 0;
    bool running = rc == 0, shown_once = false;
    while (running) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            kedit::Event e;
            e.ms = SDL_GetTicks() - start;
            bool use = true;
            switch (ev.type) {
                case SDL_QUIT: running = false; use = false; break;
                case SDL_MOUSEMOTION:
                    e.kind = kedit::Event::kMove;
                    e.x = ev.motion.x;
                    e.y = ev.motion.y;
                    break;
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP:
                    use = ev.button.button == SDL_BUTTON_LEFT;
                    e.x = ev.button.x;
                    e.y = ev.button.y;
                    // The second press of a double click is reported as
                    // the double click, in its place between the presses.
                    e.kind = ev.type == SDL_MOUSEBUTTONUP ? kedit::Event::kRelease
                             : (ev.button.clicks % 2 == 0) ? kedit::Event::kDoubleClick
                                                           : kedit::Event::kPress;
                    break;
                case SDL_KEYDOWN:
                    e.kind = kedit::Event::kKey;
                    e.key = KeyName(ev.key.keysym);
                    use = !e.key.empty();
                    break;
                default: use = false; break;
            }
            if (!use) continue;
            e.mods = Mods(static_cast<uint16_t>(SDL_GetModState()));
            ed.Handle(e);
        }
        // The demo script's events are due at their times.
        while (next < demo.size() && static_cast<int64_t>(SDL_GetTicks() - start) >= demo[next].ms)
            ed.Handle(demo[next++]);
        if (ed.TakeHelpRequest()) ShowHelp();
        if (ed.Dirty() || !shown_once) {
            const std::vector<uint8_t> &frame = ed.Compose();
            SDL_UpdateTexture(texture, nullptr, frame.data(), w * 3);
            SDL_RenderClear(renderer);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderPresent(renderer);
            SDL_SetWindowTitle(window, ("kypath-edit: " + ed.Status()).c_str());
            ed.ClearDirty();
            shown_once = true;
        }
        if (!demo.empty() && next == demo.size() && !screenshot.empty()) {
            // What the window shows, read back from the renderer.
            std::vector<uint8_t> shot(static_cast<size_t>(w) * h * 3);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            std::string error;
            if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_BGR24, shot.data(), w * 3) != 0) {
                std::fprintf(stderr, "kypath-edit: cannot read the window: %s\n", SDL_GetError());
                rc = kRunFailure;
            } else if (!SavePng(screenshot, shot, w, h, &error)) {
                std::fprintf(stderr, "kypath-edit: %s\n", error.c_str());
                rc = kRunFailure;
            }
            SDL_RenderPresent(renderer);
            running = false;
        }
        if (running) SDL_Delay(10);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return rc;
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    CLI::App app{"kypath-edit: draw and edit paths with the library's tools, in a window or from an event script"};
    app.footer(std::string("Keys:\n") + kedit::KeyHelp() +
               "\nEvent scripts: one event a line, '<ms> move|press|release|dblclick <x> <y> [mods]' or\n"
               "'<ms> key <name> [mods]', mods being shift, ctrl, alt joined by '+'; '#' starts a comment.");
    app.add_option("image", o.image, "PNG to edit (a plain canvas without one)");
    app.add_option("--canvas", o.canvas, "canvas size WxH when no image is given")->capture_default_str();
    app.add_option("--window", o.window, "window client size WxH (default: the image's, at most 1024x768)");
    auto *replay = app.add_option("--replay", o.replay, "replay an event script without a window");
    app.add_option("--auto-demo", o.demo, "feed an event script into the window at its times")->excludes(replay);
    app.add_option("--screenshot", o.screenshot, "after the script, write the window bitmap as PNG");
    app.add_flag("--verbose", o.verbose, "replay: print the status line after every event");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : kBadInput;
    }

    std::vector<uint8_t> bgr;
    int32_t iw = 0, ih = 0;
    if (!o.image.empty()) {
        std::vector<uint8_t> rgb;
        uint32_t w = 0, h = 0;
        std::string error;
        if (!kypath::ReadPngRgb(o.image, &rgb, &w, &h, &error)) {
            std::fprintf(stderr, "kypath-edit: %s\n", error.c_str());
            return kBadInput;
        }
        if (w < 16 || h < 16 || w > 16384 || h > 16384) {
            std::fprintf(stderr, "kypath-edit: %s: images from 16 to 16384 pixels a side are supported\n",
                         o.image.c_str());
            return kBadInput;
        }
        iw = static_cast<int32_t>(w);
        ih = static_cast<int32_t>(h);
        bgr.resize(rgb.size());
        for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
            bgr[i] = rgb[i + 2];
            bgr[i + 1] = rgb[i + 1];
            bgr[i + 2] = rgb[i];
        }
    } else if (!ParseSize(o.canvas, &iw, &ih)) {
        std::fprintf(stderr, "kypath-edit: --canvas: expected WxH from 16 to 8192, got '%s'\n", o.canvas.c_str());
        return kBadInput;
    }
    int32_t cw = std::min(iw, 1024), ch = std::min(ih, 768);
    if (!o.window.empty() && !ParseSize(o.window, &cw, &ch)) {
        std::fprintf(stderr, "kypath-edit: --window: expected WxH from 16 to 8192, got '%s'\n", o.window.c_str());
        return kBadInput;
    }

    std::vector<kedit::Event> events;
    const std::string &script = o.replay.empty() ? o.demo : o.replay;
    if (!script.empty()) {
        std::string error;
        if (!kedit::ReadEvents(script, &events, &error)) {
            std::fprintf(stderr, "kypath-edit: %s\n", error.c_str());
            return kBadInput;
        }
    }

    kedit::Editor ed;
    std::string error;
    if (!ed.Open(std::move(bgr), iw, ih, cw, ch, &error)) {
        std::fprintf(stderr, "kypath-edit: %s\n", error.c_str());
        return kRunFailure;
    }
    if (!o.replay.empty()) return RunReplay(ed, events, o.screenshot, o.verbose);
    return RunWindow(ed, events, o.screenshot);
}
