// platform/font_codepage.cpp - charsets, code pages and character codes.
//
// Conversions go through iconv, one descriptor per code page opened on
// first use and kept for the life of the process (opening one loads a
// conversion module, far dearer than a conversion). Single-byte pages are
// turned into a 256-entry table on first use.
#include "platform/font_codepage.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "y32path/fonts.h"

namespace plat::font {
namespace {

constexpr uint32_t kNoChar = 0xFFFFFFFFu;
constexpr uint32_t kReplacement = 0xFFFD;

struct PageConverter {
    uint32_t code_page;
    iconv_t cd;  // (iconv_t)-1 when the page cannot be converted
    std::vector<uint32_t> single;  // single-byte pages: byte -> Unicode or kNoChar
};

// Never destroyed, like the other process-wide tables of the platform.
std::vector<PageConverter> &Converters() {
    static auto *all = new std::vector<PageConverter>;
    return *all;
}

PageConverter &ConverterFor(uint32_t code_page) {
    for (PageConverter &c : Converters())
        if (c.code_page == code_page) return c;
    char name[32];
    if (code_page == 10000)
        std::snprintf(name, sizeof name, "MACINTOSH");
    else
        std::snprintf(name, sizeof name, "CP%u", static_cast<unsigned>(code_page));
    Converters().push_back(PageConverter{code_page, iconv_open("UTF-32LE", name), {}});
    return Converters().back();
}

// Converts 1 or 2 bytes into exactly one Unicode scalar value.
bool ConvertBytes(PageConverter &pc, const char *bytes, size_t n, uint32_t *unicode) {
    if (pc.cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(pc.cd, nullptr, nullptr, nullptr, nullptr);  // reset any shift state
    char in[2];
    std::memcpy(in, bytes, n);
    char out[16];
    char *inp = in;
    char *outp = out;
    size_t in_left = n, out_left = sizeof out;
    if (iconv(pc.cd, &inp, &in_left, &outp, &out_left) == static_cast<size_t>(-1)) return false;
    // Pages that combine characters (1258) hold a base letter back until
    // they see what follows; flush it.
    if (iconv(pc.cd, nullptr, nullptr, &outp, &out_left) == static_cast<size_t>(-1)) return false;
    if (in_left != 0 || sizeof out - out_left != 4) return false;
    uint32_t u = static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
                 static_cast<uint32_t>(static_cast<uint8_t>(out[2])) << 16 |
                 static_cast<uint32_t>(static_cast<uint8_t>(out[3])) << 24;
    *unicode = u;
    return true;
}

const std::vector<uint32_t> &SingleTable(PageConverter &pc) {
    if (pc.single.empty()) {
        pc.single.assign(256, kNoChar);
        for (int b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            uint32_t u;
            if (ConvertBytes(pc, &byte, 1, &u)) pc.single[b] = u;
        }
    }
    return pc.single;
}

}  // namespace

uint32_t CodePageOfCharset(uint8_t charset) {
    switch (charset) {
        case ANSI_CHARSET:
        case DEFAULT_CHARSET: return 1252;
        case SYMBOL_CHARSET: return kCpSymbol;
        case MAC_CHARSET: return 10000;
        case SHIFTJIS_CHARSET: return 932;
        case HANGUL_CHARSET: return 949;
        case GB2312_CHARSET: return 936;
        case CHINESEBIG5_CHARSET: return 950;
        case GREEK_CHARSET: return 1253;
        case TURKISH_CHARSET: return 1254;
        case VIETNAMESE_CHARSET: return 1258;
        case HEBREW_CHARSET: return 1255;
        case ARABIC_CHARSET: return 1256;
        case BALTIC_CHARSET: return 1257;
        case RUSSIAN_CHARSET: return 1251;
        case THAI_CHARSET: return 874;
        case EASTEUROPE_CHARSET: return 1250;
        case OEM_CHARSET: return 437;
        case Y32_UTF8_CHARSET: return kCpUtf8;
        default: return 1252;
    }
}

bool IsDoubleBytePage(uint32_t code_page) {
    return code_page == 932 || code_page == 936 || code_page == 949 || code_page == 950;
}

bool IsDbcsLeadByte(uint32_t code_page, uint8_t b) {
    switch (code_page) {
        case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case 936:
        case 949:
        case 950: return b >= 0x81 && b <= 0xFE;
        default: return false;
    }
}

CharStep ReadChar(uint32_t code_page, const char *s) {
    const auto *u = reinterpret_cast<const uint8_t *>(s);
    if (code_page == kCpUtf8) {
        uint8_t b0 = u[0];
        if (b0 < 0x80) return CharStep{b0, 1, false};
        int32_t len;
        uint32_t cp, min;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2, cp = b0 & 0x1F, min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3, cp = b0 & 0x0F, min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4, cp = b0 & 0x07, min = 0x10000;
        } else {
            return CharStep{kReplacement, 1, false};
        }
        for (int32_t k = 1; k < len; ++k) {
            if ((u[k] & 0xC0) != 0x80) return CharStep{kReplacement, 1, false};  // also stops at the 0
            cp = cp << 6 | (u[k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return CharStep{kReplacement, 1, false};
        return CharStep{cp, len, true};
    }
    if (IsDbcsLeadByte(code_page, u[0]) && u[1] != 0)
        return CharStep{static_cast<uint32_t>(u[0]) << 8 | u[1], 2, true};
    return CharStep{u[0], 1, false};
}

bool CodeToUnicode(uint32_t code_page, uint32_t code, uint32_t *unicode) {
    if (code_page == kCpSymbol) return false;
    if (code_page == kCpUtf8) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        *unicode = code;
        return true;
    }
    PageConverter &pc = ConverterFor(code_page);
    if (code < 0x100) {
        uint32_t u = SingleTable(pc)[code];
        if (u == kNoChar) return false;
        *unicode = u;
        return true;
    }
    if (!IsDoubleBytePage(code_page) || code > 0xFFFF || !IsDbcsLeadByte(code_page, static_cast<uint8_t>(code >> 8)))
        return false;
    char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    return ConvertBytes(pc, bytes, 2, unicode);
}

void ForEachCode(uint32_t code_page, void (*fn)(uint32_t code, uint32_t unicode, void *user), void *user) {
    if (code_page == kCpUtf8 || code_page == kCpSymbol) return;
    PageConverter &pc = ConverterFor(code_page);
    const std::vector<uint32_t> &single = SingleTable(pc);
    for (uint32_t b = 0; b < 256; ++b)
        if (single[b] != kNoChar && !IsDbcsLeadByte(code_page, static_cast<uint8_t>(b))) fn(b, single[b], user);
    if (!IsDoubleBytePage(code_page)) return;
    for (uint32_t lead = 0x81; lead <= 0xFE; ++lead) {
        if (!IsDbcsLeadByte(code_page, static_cast<uint8_t>(lead))) continue;
        for (uint32_t trail = 0x40; trail <= 0xFE; ++trail) {
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            uint32_t u;
            if (ConvertBytes(pc, bytes, 2, &u)) fn(lead << 8 | trail, u, user);
        }
    }
}

}  // namespace plat::font
