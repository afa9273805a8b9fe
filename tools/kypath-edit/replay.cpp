// tools/kypath-edit/replay.cpp - the reader of the editor's event scripts.
#include "tools/kypath-edit/replay.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kedit {

namespace {

// Window coordinates beyond this are surely a typing mistake, and keeping
// them small keeps every later sum within 32 bits.
constexpr long kMaxCoordinate = 100000;

bool ParseInteger(const std::string &s, long lo, long hi, long *out) {
    if (s.empty()) return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || !end || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool ParseMods(const std::string &s, uint32_t *mods) {
    *mods = 0;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, '+')) {
        if (part == "shift") *mods |= kShift;
        else if (part == "ctrl") *mods |= kCtrl;
        else if (part == "alt") *mods |= kAlt;
        else return false;
    }
    return !s.empty() && s.back() != '+';
}

}  // namespace

bool IsKeyName(const std::string &name) {
    static const char *const kNamed[] = {"escape", "backspace", "delete", "tab", "left",
                                         "right",  "up",        "down",   "home"};
    if (name.size() == 1) {
        const char c = name[0];
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '?' || c == '+' || c == '-' || c == '[' ||
               c == ']' || c == '=';
    }
    for (const char *k : kNamed)
        if (name == k) return true;
    return false;
}

bool ParseEvents(const std::string &text, const std::string &name, std::vector<Event> *events, std::string *error) {
    events->clear();
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    int64_t last_ms = 0;
    auto fail = [&](const std::string &why) {
        *error = name + ":" + std::to_string(number) + ": " + why;
        events->clear();
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        if (words.empty()) continue;

        Event e;
        long ms = 0;
        if (!ParseInteger(words[0], 0, 86400000L, &ms)) return fail("expected a time in milliseconds, got '" + words[0] + "'");
        if (ms < last_ms) return fail("time " + words[0] + " goes back before " + std::to_string(last_ms));
        last_ms = e.ms = ms;
        if (words.size() < 2) return fail("expected an event after the time");
        const std::string &kind = words[1];
        size_t next = 2;
        if (kind == "key") {
            e.kind = Event::kKey;
            if (words.size() < 3) return fail("expected a key name");
            if (!IsKeyName(words[2])) return fail("unknown key '" + words[2] + "'");
            e.key = words[2];
            next = 3;
        } else {
            if (kind == "move") e.kind = Event::kMove;
            else if (kind == "press") e.kind = Event::kPress;
            else if (kind == "release") e.kind = Event::kRelease;
            else if (kind == "dblclick") e.kind = Event::kDoubleClick;
            else return fail("unknown event '" + kind + "'");
            if (words.size() < 4) return fail("expected x and y after '" + kind + "'");
            long x = 0, y = 0;
            if (!ParseInteger(words[2], -kMaxCoordinate, kMaxCoordinate, &x) ||
                !ParseInteger(words[3], -kMaxCoordinate, kMaxCoordinate, &y))
                return fail("bad coordinates '" + words[2] + " " + words[3] + "'");
            e.x = static_cast<int32_t>(x);
            e.y = static_cast<int32_t>(y);
            next = 4;
        }
        if (words.size() > next && !ParseMods(words[next], &e.mods))
            return fail("unknown modifiers '" + words[next] + "' (shift, ctrl, alt joined by +)");
        if (words.size() > next + 1) return fail("unexpected '" + words[next + 1] + "'");
        events->push_back(e);
    }
    return true;
}

bool ReadEvents(const std::string &file, std::vector<Event> *events, std::string *error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = file + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        *error = file + ": cannot be read";
        return false;
    }
    return ParseEvents(text.str(), file, events, error);
}

}  // namespace kedit
