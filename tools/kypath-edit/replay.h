// tools/kypath-edit/replay.h - the event scripts of the editor.
//
// A script is a text file of timed window events, one per line:
//
//   # comment (also after an event)
//   <ms> move <x> <y> [mods]
//   <ms> press <x> <y> [mods]
//   <ms> release <x> <y> [mods]
//   <ms> dblclick <x> <y> [mods]
//   <ms> key <name> [mods]
//
// <ms> is the time since the script began, never decreasing; x and y are
// window client pixels; mods is a '+'-joined list of shift, ctrl and alt;
// a key name is a letter, a digit, one of the characters ? + - [ ] = or
// one of escape, backspace, delete, tab, left, right, up, down, home. The
// double-click comes between the press and the release of the second
// click, as window systems report it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kedit {

// Modifier bits of an event.
enum : uint32_t { kShift = 1, kCtrl = 2, kAlt = 4 };

struct Event {
    enum Kind { kMove, kPress, kRelease, kDoubleClick, kKey };
    int64_t ms = 0;
    Kind kind = kMove;
    int32_t x = 0, y = 0;  // mouse events
    std::string key;       // key events: the key's name, lower case
    uint32_t mods = 0;
};

// Parses a script. On the first bad line returns false with *error set to
// one line "<name>:<line>: <what is wrong>".
bool ParseEvents(const std::string &text, const std::string &name, std::vector<Event> *events, std::string *error);

// Reads and parses a script file; a file that cannot be read is an error too.
bool ReadEvents(const std::string &file, std::vector<Event> *events, std::string *error);

// Whether `name` is a key the scripts and the editor know.
bool IsKeyName(const std::string &name);

}  // namespace kedit
