// fuzz/make_fuzz_seeds.cpp - writes the seed corpora of the path, text and
// curve-fitting fuzzers in the layout their readers take apart (see each
// target: the fields are written here in the order it reads them).
//
//   make_fuzz_seeds <tests/fuzz directory>
//
// Run it again when a target's layout changes; the unflatten seeds come
// from make_unflatten_seeds.
#include <cstdio>
#include <initializer_list>
#include <string>

#include "fuzz_input.h"
#include "y32path/shapes.h"

namespace {

using fuzz::Writer;

struct Pt {
    uint16_t type;
    double x, y;
};

// One record as ReadList reads it: count, then raw type words (the pick
// byte 7 asks for the whole word) and coordinates from lo.
Writer &Record(Writer &w, int32_t max_points, int32_t lo, std::initializer_list<Pt> pts) {
    w.Range(0, max_points, static_cast<int32_t>(pts.size()));
    for (const Pt &p : pts) {
        w.U8(7).U16(p.type);
        w.U32(static_cast<uint32_t>((p.x - lo) * 65536.0));
        w.U32(static_cast<uint32_t>((p.y - lo) * 65536.0));
    }
    return w;
}

// Plain records (no type bytes after the first point's implied move).
Writer &PlainRecord(Writer &w, int32_t max_points, int32_t lo, std::initializer_list<Pt> pts) {
    w.Range(0, max_points, static_cast<int32_t>(pts.size()));
    bool first = true;
    for (const Pt &p : pts) {
        if (!first) w.U8(p.type == PT_BEZIERTO ? 1 : (p.type & PT_CLOSEFIGURE) ? 2 : 0);
        first = false;
        w.U32(static_cast<uint32_t>((p.x - lo) * 65536.0));
        w.U32(static_cast<uint32_t>((p.y - lo) * 65536.0));
    }
    return w;
}

const std::initializer_list<Pt> kSquare = {
    {PT_MOVETO, 10, 10}, {PT_LINETO, 50, 10}, {PT_LINETO, 50, 50}, {PT_LINETO | PT_CLOSEFIGURE, 10, 50}};
const std::initializer_list<Pt> kTriangle = {{PT_MOVETO, 20, 5}, {PT_LINETO, 40, 40}, {PT_LINETO | PT_CLOSEFIGURE, 0, 40}};
const std::initializer_list<Pt> kBlob = {{PT_MOVETO, 30, 5},   {PT_BEZIERTO, 45, 5},  {PT_BEZIERTO, 55, 20},
                                         {PT_BEZIERTO, 55, 30}, {PT_BEZIERTO, 55, 45}, {PT_BEZIERTO, 40, 55},
                                         {PT_BEZIERTO | PT_CLOSEFIGURE, 30, 5}};

bool ToBufSeeds(const std::string &dir) {
    bool ok = true;
    // format, even-odd, antialias, mode picks; margin; scale step (16 = 1.0)
    auto head = [](Writer &w, uint8_t format, uint8_t eo, uint8_t aa, uint8_t mode, int32_t margin, int32_t step) {
        w.U8(format).U8(eo).U8(aa).U8(mode).Range(-8, 8, margin).Range(-1, 64, step);
    };
    {
        Writer w;  // two selected groups, graded 8-bit masks
        head(w, 0, 0, 1, 0, 0, 16);
        w.Range(1, 4, 2);
        Record(w, 64, -27, kSquare);
        Record(w, 64, -27, kTriangle);
        w.U8(0).U8(0xFF).U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "two_groups_selected.bin");
    }
    {
        Writer w;  // sub-pixel masks, even-odd, curves and a hole
        head(w, 1, 1, 1, 0, 2, 16);
        w.Range(1, 4, 2);
        Record(w, 64, -27, kBlob);
        Record(w, 64, -27, kTriangle);
        w.U8(0x02).U8(0).U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "subpixel_evenodd_group.bin");
    }
    {
        Writer w;  // box-filtered at scale 2, hard edges
        head(w, 2, 0, 0, 0, -3, 32);
        w.Range(1, 4, 1);
        Record(w, 64, -13, kBlob);
        w.U8(0).U8(0).U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "boxfilter_scale2.bin");
    }
    {
        Writer w;  // outlines of the whole list, a rotated-rectangle entry
        head(w, 3, 0, 2, 2, 1, 12);
        w.Range(1, 4, 2);
        Record(w, 64, -27, {{PT_MOVETO | PT_ROTATEDRECT, 10, 10}, {PT_LINETO, 60, 10}, {PT_LINETO, 60, 30},
                            {PT_LINETO | PT_CLOSEFIGURE, 10, 30}});
        Record(w, 64, -27, {{PT_MOVETO, 5, 5}, {PT_BEZIERTO, 90, 0}, {PT_BEZIERTO, 0, 90}, {PT_BEZIERTO, 80, 80}});
        w.U8(0).U8(0).U8(1).U8(0);
        ok &= w.Save(dir.c_str(), "outlines_all_records.bin");
    }
    return ok;
}

bool VMapSeeds(const std::string &dir) {
    bool ok = true;
    // want, even-odd, primitive bevel, object mode (own, smooth), offset,
    // fast, vector format, width byte ((b - 16) / 16), scale (16 = 1.0),
    // mask kind, cancel after, shape index, raw types
    auto head = [](Writer &w, int32_t want, uint8_t smooth, int32_t offset, uint8_t fmt, uint8_t width,
                   uint8_t mask, int32_t cancel, uint8_t shape) {
        w.Range(1, 3, want).U8(0).U8(0).U8(0).U8(smooth).Range(-6, 6, offset).U8(0).U8(fmt).U8(width);
        w.Range(8, 32, 16).U8(mask).Range(0, 8, cancel).U8(shape).U8(0);
    };
    {
        Writer w;  // both maps of a square, bevel 4, smoothed vectors
        head(w, 3, 1, 0, 0, 80, 0, 0, 0);
        w.Range(1, 3, 1);
        PlainRecord(w, 24, 0, kSquare);
        w.U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "square_both_maps.bin");
    }
    {
        Writer w;  // a second bevel moved inwards, float vectors
        head(w, 2, 0, -2, 1, 48, 0, 0, 0);
        w.Range(1, 3, 1);
        PlainRecord(w, 24, 0, kTriangle);
        w.U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "triangle_offset_float.bin");
    }
    {
        Writer w;  // a rectangle primitive
        head(w, 3, 0, 0, 0, 64, 0, 0, 3);
        w.Range(1, 3, 1);
        PlainRecord(w, 24, 0, kSquare);
        w.U8(0).U8(0);
        ok &= w.Save(dir.c_str(), "rectangle_primitive.bin");
    }
    {
        Writer w;  // the surroundings from a caller's mask, cancelled late
        head(w, 1, 0, 2, 0, 40, 1, 6, 0);
        w.Range(1, 3, 1);
        PlainRecord(w, 24, 0, kBlob);
        w.U8(0).U8(0);
        for (int i = 0; i < 4000; ++i) w.U8(static_cast<uint8_t>(i % 61 < 30 ? 255 : 0));
        ok &= w.Save(dir.c_str(), "blob_mask_cancel.bin");
    }
    {
        Writer w;  // a caller's mask without pixels (a finding: read before the mask)
        head(w, 3, 0, 0, 0, 64, 2, 0, 0);
        w.Range(1, 3, 1);
        PlainRecord(w, 24, 0, kTriangle);
        w.U8(0).U8(0);
        w.Range(0, 64, 0).Range(0, 64, 12);
        ok &= w.Save(dir.c_str(), "empty_mask.bin");
    }
    return ok;
}

bool ApproxSeeds(const std::string &dir) {
    bool ok = true;
    // zoom pick (0 = 1.0), scroll x, y, tolerance (b / 8), closed, count
    auto head = [](Writer &w, uint8_t zoom, uint8_t tol, uint8_t closed, int32_t count) {
        w.U8(zoom).Range(-1000, 1000, 0).Range(-1000, 1000, 0).U8(tol).U8(closed).Range(0, 600, count);
    };
    {
        Writer w;  // a dragged circle, closed
        head(w, 0, 16, 1, 64);
        w.U8(128).Range(-2000, 2000, 400).Range(-2000, 2000, 300);
        for (int i = 1; i < 64; ++i) {
            const int dx = i < 16 ? 40 : i < 32 ? -8 : i < 48 ? -40 : 8;
            const int dy = i < 16 ? 8 : i < 32 ? 40 : i < 48 ? -8 : -40;
            w.U8(0).U8(static_cast<uint8_t>(dx)).U8(static_cast<uint8_t>(dy));
        }
        ok &= w.Save(dir.c_str(), "circle_closed.bin");
    }
    {
        Writer w;  // a zigzag at zoom 2, tight tolerance
        head(w, 2, 4, 0, 40);
        for (int i = 0; i < 40; ++i) w.U8(128).Range(-2000, 2000, i * 10).Range(-2000, 2000, i % 2 ? 40 : 0);
        ok &= w.Save(dir.c_str(), "zigzag_zoom2.bin");
    }
    {
        Writer w;  // three points on top of each other
        head(w, 0, 8, 0, 3);
        for (int i = 0; i < 3; ++i) w.U8(128).Range(-2000, 2000, 5).Range(-2000, 2000, 5);
        ok &= w.Save(dir.c_str(), "three_same_points.bin");
    }
    return ok;
}

bool TextSeeds(const std::string &dir) {
    bool ok = true;
    // face, charset index (see text_fuzz's table), height index, style,
    // layout bits, antialias, alignment, then the text
    auto plain = [&](const char *name, int face, int charset, int height, uint8_t style, uint8_t bits,
                     const char *text) {
        Writer w;
        w.U8(0).Range(0, 4, face).Range(0, 19, charset).Range(0, 4, height).U8(style).U8(bits).U8(1).U8(0);
        w.Text(text);
        ok &= w.Save(dir.c_str(), name);
    };
    plain("ansi_two_lines.bin", 0, 0, 1, 0, 0x02, "Hello,\r\nworld\t!");
    plain("utf8_vertical.bin", 1, 19, 0, 1, 0x08, "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xE6\xBC\xA2\xE5\xAD\x97");
    plain("shiftjis_italic.bin", 0, 4, 1, 0, 0x01, "\x93\xfa\x96\x7b\x8c\xea abc");
    plain("symbol_path_only.bin", 3, 2, 2, 2, 0x10, "abc\xD2\xE0");
    plain("big5_outline_mode.bin", 2, 8, 4, 0, 0x24, "\xa4\xa4\xa4\xe5\n\xa4\xa4");
    {
        Writer w;  // rich text: two runs, centred, kerned
        w.U8(1).Range(0, 3, 2).Range(-10, 20, 2).U8(0).Range(0, 3, 2).U8(0).U8(0).U8(0);
        w.U8(1).U8(0).Range(-4, 8, 0).Range(0, 19, 0).U8(RTS_BOLD | RTS_UNDERLINE).U8(1).Range(-4, 8, 1);
        w.Range(0, 4, 0).Range(0, 24, 12).Text("AVATAR\r\nWave");
        w.U8(0).U8(1).Range(0, 40, 20).Range(0, 20, 6).Range(-4, 8, 2).Range(0, 19, 15).U8(RTS_ITALIC | RTS_MARK);
        w.U8(0).U8(0).Range(0, 4, 1).Range(0, 24, 6).Text("\xcf\xf0\xe8\xe2\xe5\xf2");
        ok &= w.Save(dir.c_str(), "rich_two_runs.bin");
    }
    {
        Writer w;  // rich text measured only, scaled fonts
        w.U8(1).Range(0, 3, 1).Range(-10, 20, 0).U8(1).Range(0, 3, 0).U8(1).U8(1).U8(1);
        w.U8(5).U8(0).Range(-4, 8, 0).Range(0, 19, 19).U8(0).U8(0).Range(-4, 8, 0);
        w.Range(0, 4, 2).Range(0, 24, 9).Text("one\ntwo\r3");
        ok &= w.Save(dir.c_str(), "rich_measure_scaled.bin");
    }
    return ok;
}

bool WrapSeeds(const std::string &dir) {
    bool ok = true;
    // fit, repeat, spacing pick, bits (orientation, option7, option8,
    // smooth, text, recentre, version), heights, start offset pick,
    // position, level, amplitude, shape, derived ascent/descent, rule
    auto head = [](Writer &w, uint8_t fit, int32_t repeat, uint8_t bits, int32_t h0, int32_t h1, uint8_t level) {
        w.U8(fit).Range(-1, 6, repeat).U8(0).U8(bits).Range(0, 300, h0).Range(0, 300, h1).U8(0);
        w.Range(-500, 500, 100).Range(-500, 500, 100).U8(level).U8(0).Range(0, 3, 0).U8(1).Range(0, 3, 0);
    };
    const std::initializer_list<Pt> kArc = {{PT_MOVETO, 20, 200}, {PT_BEZIERTO, 100, 20}, {PT_BEZIERTO, 300, 20},
                                           {PT_BEZIERTO, 380, 200}};
    const std::initializer_list<Pt> kZigzag = {{PT_MOVETO, 10, 100}, {PT_LINETO, 100, 50}, {PT_LINETO, 200, 150},
                                              {PT_LINETO, 300, 50}};
    {
        Writer w;  // a figure bent along an arc, every point, fitted
        head(w, 1, 1, 0x04, 100, 100, 1);
        w.U8(1).U8(0).Range(1, 1, 1);
        PlainRecord(w, 24, 0, kArc);
        w.U8(0).U8(0).U8(0);
        w.Range(1, 4, 2);
        PlainRecord(w, 40, 0, kSquare);
        PlainRecord(w, 40, 0, kTriangle);
        w.U8(0x02).U8(0).Range(0, 1, 0);
        ok &= w.Save(dir.c_str(), "arc_bent_fitted.bin");
    }
    {
        Writer w;  // rigid characters on a zigzag with smoothed corners, tapered
        head(w, 0, 3, 0x08 | 0x10, 100, 40, 30);
        w.U8(1).U8(0).Range(1, 1, 1);
        PlainRecord(w, 24, 0, kZigzag);
        w.U8(0).U8(0).U8(0);
        w.Range(1, 4, 3);
        PlainRecord(w, 40, 0, kSquare);
        PlainRecord(w, 40, 0, kTriangle);
        PlainRecord(w, 40, 0, kBlob);
        w.U8(0).U8(0).Range(0, 2, 1);
        ok &= w.Save(dir.c_str(), "zigzag_rigid_text.bin");
    }
    {
        Writer w;  // the built-in circles (no baseline), turned figure
        head(w, 0, 0, 0x01 | 0x04, 100, 100, 2);
        w.U8(0);
        w.U8(0).Range(1, 4, 1);
        PlainRecord(w, 40, 0, kBlob);
        w.U8(0).U8(0).Range(0, 0, 0);
        ok &= w.Save(dir.c_str(), "circles_turned.bin");
    }
    {
        Writer w;  // an empty record in the figure (a finding: flags of no points)
        head(w, 0, 1, 0x04, 100, 100, 1);
        w.U8(1).U8(0).Range(1, 1, 1);
        PlainRecord(w, 24, 0, kArc);
        w.U8(0).U8(0).U8(0);
        w.Range(1, 4, 2);
        PlainRecord(w, 40, 0, {});
        PlainRecord(w, 40, 0, kSquare);
        w.U8(0x02).U8(0).Range(0, 1, 0);
        ok &= w.Save(dir.c_str(), "empty_record.bin");
    }
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <tests/fuzz directory>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    bool ok = ToBufSeeds(root + "/tobuf") && VMapSeeds(root + "/vmap") && ApproxSeeds(root + "/approx_bezier") &&
              TextSeeds(root + "/text") && WrapSeeds(root + "/wrap");
    if (!ok) std::fprintf(stderr, "could not write every seed under %s\n", root.c_str());
    return ok ? 0 : 1;
}
