// platform/font_codepage.h - charsets, code pages and character codes.
//
// Text reaches the library as bytes in the code page of the font's charset.
// A character code is one byte, or for a double-byte code page lead x 256 +
// trail, or for UTF-8 text the Unicode scalar value. These helpers split
// such text into characters and turn codes into Unicode for the glyph
// lookup (single- and double-byte pages through iconv).
#pragma once

#include <cstdint>

namespace plat::font {

constexpr uint32_t kCpSymbol = 42;
constexpr uint32_t kCpUtf8 = 65001;

// The code page of a charset (1252 for charsets nobody maps).
uint32_t CodePageOfCharset(uint8_t charset);

// The four double-byte pages: 932 Shift-JIS, 936 GBK, 949 Unified Hangul,
// 950 Big5.
bool IsDoubleBytePage(uint32_t code_page);
bool IsDbcsLeadByte(uint32_t code_page, uint8_t byte);

// One character read from s (which must not point at the terminating 0):
// its code and how many bytes it takes. A lead byte followed by the
// terminator counts as a byte of its own; in UTF-8 text a byte that starts
// no valid sequence is one character U+FFFD.
struct CharStep {
    uint32_t code;
    int32_t bytes;
    bool multi_byte;  // a double-byte character or a UTF-8 sequence of 2+ bytes
};
CharStep ReadChar(uint32_t code_page, const char *s);

// Unicode of a character code in the page; false when the page has no
// such character. The symbol page answers false: symbol fonts are looked
// up by their own map.
bool CodeToUnicode(uint32_t code_page, uint32_t code, uint32_t *unicode);

// Calls fn(code, unicode) for every character the page defines (for the
// UTF-8 page: nothing; its codes are Unicode already).
void ForEachCode(uint32_t code_page, void (*fn)(uint32_t code, uint32_t unicode, void *user), void *user);

}  // namespace plat::font
