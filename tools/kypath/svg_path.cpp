// tools/kypath/svg_path.cpp - the SVG path data reader.
#include "tools/kypath/svg_path.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "y32Path.h"

namespace kypath {

namespace {

struct Reader {
    const std::string &s;
    size_t i = 0;

    void SkipSeparators() {
        while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == ',')) ++i;
    }
    bool AtNumber() {
        SkipSeparators();
        if (i >= s.size()) return false;
        char c = s[i];
        return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
    }
    // One number by the SVG grammar; false when there is none here.
    bool Number(double *out) {
        if (!AtNumber()) return false;
        size_t start = i;
        if (s[i] == '-' || s[i] == '+') ++i;
        bool digits = false, dot = false;
        while (i < s.size()) {
            char c = s[i];
            if (std::isdigit(static_cast<unsigned char>(c))) {
                digits = true;
            } else if (c == '.' && !dot) {
                dot = true;
            } else {
                break;
            }
            ++i;
        }
        if (!digits) {
            i = start;
            return false;
        }
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            size_t save = i++;
            if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
            if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
                while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
            } else {
                i = save;
            }
        }
        *out = std::strtod(s.substr(start, i - start).c_str(), nullptr);
        return true;
    }
};

struct Builder {
    KyPath *head = nullptr, *tail = nullptr, *cur = nullptr;
    double start_x = 0, start_y = 0, x = 0, y = 0;
    std::string *error;
    bool failed = false;

    ~Builder() {
        if (failed && head) KyPathDeletePtr(head, 0);
    }
    bool Fail(const std::string &why) {
        if (error) *error = why;
        failed = true;
        return false;
    }
    bool Add(double px, double py, uint32_t type) {
        if (!(std::fabs(px) < 32768.0 && std::fabs(py) < 32768.0))
            return Fail("coordinate out of range (must lie within +-32767)");
        FIXED xy[2] = {DbToFix(px), DbToFix(py)};
        if (!KyPathAddPoint(&cur, xy, type)) return Fail("out of memory");
        return true;
    }
    // Starts a new subpath record at (px, py).
    bool Move(double px, double py) {
        KyPath *p = KyPathCreate();
        if (!p) return Fail("out of memory");
        if (!tail) {
            head = p;
        } else {
            tail->next = p;
            p->prev = tail;
            tail->groupNext = p;
            p->groupPrev = tail;
        }
        tail = cur = p;
        if (!Add(px, py, PT_MOVETO)) return false;
        // The record may have moved while growing; keep the links honest.
        Relink();
        start_x = x = px;
        start_y = y = py;
        return true;
    }
    void Relink() {
        if (cur == tail) return;
        KyPath *old = tail;
        tail = cur;
        if (head == old) head = cur;
        if (cur->prev) {
            cur->prev->next = cur;
            cur->prev->groupNext = cur;
        }
    }
    // Makes sure there is an open record to draw into (after Z).
    bool Ensure() {
        if (cur && !(KyPathPoints(cur)[cur->count - 1].type & PT_CLOSEFIGURE)) return true;
        if (!cur) return Fail("path data must start with M or m");
        return Move(start_x, start_y);
    }
    bool Line(double px, double py) {
        if (!Ensure() || !Add(px, py, PT_LINETO)) return false;
        Relink();
        x = px;
        y = py;
        return true;
    }
    bool Cubic(double x1, double y1, double x2, double y2, double x3, double y3) {
        if (!Ensure() || !Add(x1, y1, PT_BEZIERTO) || !Add(x2, y2, PT_BEZIERTO) || !Add(x3, y3, PT_BEZIERTO))
            return false;
        Relink();
        x = x3;
        y = y3;
        return true;
    }
    bool Close() {
        if (!cur) return Fail("Z before any M");
        PathPoint *pts = KyPathPoints(cur);
        PathPoint &last = pts[cur->count - 1];
        if (last.type & PT_CLOSEFIGURE) return true;
        if (cur->count > 1 && last.x == pts[0].x && last.y == pts[0].y) {
            last.type |= PT_CLOSEFIGURE;
        } else {
            if (!Add(start_x, start_y, PT_LINETO | PT_CLOSEFIGURE)) return false;
            Relink();
        }
        x = start_x;
        y = start_y;
        return true;
    }
};

}  // namespace

KyPath *ParseSvgPath(const std::string &data, std::string *error) {
    KyPathInit();
    Reader rd{data};
    Builder b;
    b.error = error;
    char cmd = 0;
    double last_c2x = 0, last_c2y = 0;
    bool last_cubic = false;
    auto where = [&](const std::string &what) {
        return what + " at offset " + std::to_string(rd.i);
    };
    for (;;) {
        rd.SkipSeparators();
        if (rd.i >= data.size()) break;
        char c = data[rd.i];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            if (!std::strchr("MmLlHhVvCcSsQqZz", c)) {
                b.Fail(where(std::string("unsupported command '") + c + "' (supported: M L H V C S Q Z)"));
                return nullptr;
            }
            cmd = c;
            ++rd.i;
        } else if (!cmd) {
            b.Fail(where("path data must start with M or m"));
            return nullptr;
        }
        bool rel = std::islower(static_cast<unsigned char>(cmd)) != 0;
        double ox = rel ? b.x : 0, oy = rel ? b.y : 0;
        double v[6];
        auto numbers = [&](int n) {
            for (int k = 0; k < n; ++k)
                if (!rd.Number(&v[k])) return false;
            return true;
        };
        bool ok = true, cubic = false;
        switch (cmd) {
            case 'M':
            case 'm':
                if (!numbers(2)) {
                    b.Fail(where("expected two numbers after M"));
                    return nullptr;
                }
                ok = b.Move(ox + v[0], oy + v[1]);
                cmd = rel ? 'l' : 'L';  // further pairs are lines
                break;
            case 'L':
            case 'l':
                if (!numbers(2)) {
                    b.Fail(where("expected two numbers after L"));
                    return nullptr;
                }
                ok = b.Line(ox + v[0], oy + v[1]);
                break;
            case 'H':
            case 'h':
                if (!numbers(1)) {
                    b.Fail(where("expected a number after H"));
                    return nullptr;
                }
                ok = b.Line(ox + v[0], b.y);
                break;
            case 'V':
            case 'v':
                if (!numbers(1)) {
                    b.Fail(where("expected a number after V"));
                    return nullptr;
                }
                ok = b.Line(b.x, oy + v[0]);
                break;
            case 'C':
            case 'c':
                if (!numbers(6)) {
                    b.Fail(where("expected six numbers after C"));
                    return nullptr;
                }
                last_c2x = ox + v[2];
                last_c2y = oy + v[3];
                ok = b.Cubic(ox + v[0], oy + v[1], last_c2x, last_c2y, ox + v[4], oy + v[5]);
                cubic = true;
                break;
            case 'S':
            case 's': {
                if (!numbers(4)) {
                    b.Fail(where("expected four numbers after S"));
                    return nullptr;
                }
                double c1x = last_cubic ? 2 * b.x - last_c2x : b.x, c1y = last_cubic ? 2 * b.y - last_c2y : b.y;
                last_c2x = ox + v[0];
                last_c2y = oy + v[1];
                ok = b.Cubic(c1x, c1y, last_c2x, last_c2y, ox + v[2], oy + v[3]);
                cubic = true;
                break;
            }
            case 'Q':
            case 'q': {
                if (!numbers(4)) {
                    b.Fail(where("expected four numbers after Q"));
                    return nullptr;
                }
                double qx = ox + v[0], qy = oy + v[1], ex = ox + v[2], ey = oy + v[3];
                double x0 = b.x, y0 = b.y;
                ok = b.Cubic(x0 + 2.0 / 3 * (qx - x0), y0 + 2.0 / 3 * (qy - y0), ex + 2.0 / 3 * (qx - ex),
                             ey + 2.0 / 3 * (qy - ey), ex, ey);
                break;
            }
            case 'Z':
            case 'z':
                ok = b.Close();
                cmd = 0;
                break;
        }
        if (!ok) return nullptr;
        last_cubic = cubic;
        if (cmd == 0) {
            // After Z only a new command may follow.
            rd.SkipSeparators();
            if (rd.i < data.size() && !std::isalpha(static_cast<unsigned char>(data[rd.i]))) {
                b.Fail(where("expected a command after Z"));
                return nullptr;
            }
        }
    }
    if (!b.head) {
        b.Fail("no path data");
        return nullptr;
    }
    KyPath *head = b.head;
    b.head = nullptr;
    return head;
}

KyPath *LoadPathArgument(const std::string &arg, std::string *error) {
    std::string name = !arg.empty() && arg[0] == '@' ? arg.substr(1) : arg;
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        if (arg[0] == '@') {
            if (error) *error = "cannot read " + name;
            return nullptr;
        }
        return ParseSvgPath(arg, error);
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    // An SVG document: the d attributes of its elements, in order.
    if (text.find("<svg") != std::string::npos || text.find("<path") != std::string::npos) {
        std::string all;
        for (size_t at = text.find(" d=\""); at != std::string::npos; at = text.find(" d=\"", at + 4)) {
            size_t end = text.find('"', at + 4);
            if (end == std::string::npos) break;
            all += text.substr(at + 4, end - at - 4) + " ";
        }
        return ParseSvgPath(all, error);
    }
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && std::strchr("Mm", text[first])) return ParseSvgPath(text, error);
    // Otherwise the library's flat form.
    KyPathInit();
    HGLOBAL block = GlobalAlloc(GPTR, text.size());
    if (!block) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    std::memcpy(block, text.data(), text.size());
    KyPath *path = nullptr;
    int32_t ok = KyPathUnFlatten(&block, &path);
    GlobalFree(block);
    if (!ok || !path) {
        if (error) *error = name + " is neither SVG path data nor a flat path block";
        return nullptr;
    }
    return path;
}

}  // namespace kypath
