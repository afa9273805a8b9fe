/* y32path/fonts.h - fonts for the text functions.
 *
 * Text outlines are taken from the font selected into a font device
 * context. A host makes the context once, creates fonts from LOGFONTA
 * records and selects one before calling KyPathCreateText:
 *
 *   1. HFONTDC dc = y32CreateFontDC();
 *   2. LOGFONTA lf = {0}; lf.lfHeight = -96; strcpy(lf.lfFaceName, "DejaVu Serif");
 *      HFONT font = y32CreateFontIndirect(&lf);
 *   3. y32SelectFont(dc, font);  ... KyPathCreateText(dc, ...) ...
 *   4. y32SelectFont(dc, NULL); y32DeleteFont(font); y32DeleteFontDC(dc);
 *
 * The font context is its own kind of handle, separate from the drawing
 * device context of y32path/gdi.h: it holds a font and nothing else.
 *
 * Fonts are resolved by face name, weight, italic and charset among the
 * installed scalable fonts; when nothing suitable is found, or the file
 * that was found cannot be read, DejaVu Sans is used. lfHeight follows the
 * usual convention: negative is the em size in pixels, positive the cell
 * height (ascent + descent), 0 a 16-pixel em. lfWidth, lfEscapement and
 * lfOrientation are kept but do not change the outlines (glyphs stay
 * upright; vertical text is laid out by stacking them).
 *
 * Character codes of the text functions are read in the code page of the
 * font's charset: the single-byte Windows code pages, the double-byte
 * pages of SHIFTJIS_CHARSET, HANGUL_CHARSET, GB2312_CHARSET and
 * CHINESEBIG5_CHARSET, the symbol charset (one byte, the font's symbol
 * map when it has one), and, as an addition, Y32_UTF8_CHARSET for UTF-8
 * text. DEFAULT_CHARSET reads Windows-1252.
 *
 * These calls exist in builds with font support (not in the 32-bit build).
 * Nothing here is synchronised: one thread at a time. */
#ifndef Y32PATH_FONTS_H
#define Y32PATH_FONTS_H

#include "types.h"

typedef struct Y32FontDc *HFONTDC;
typedef struct Y32Font *HFONT;

#define LF_FACESIZE 32

typedef struct LOGFONTA {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight; /* 0 or 1..1000; 700 is bold */
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
} LOGFONTA;

#define ANSI_CHARSET        0
#define DEFAULT_CHARSET     1
#define SYMBOL_CHARSET      2
#define MAC_CHARSET         77
#define SHIFTJIS_CHARSET    128
#define HANGUL_CHARSET      129
#define JOHAB_CHARSET       130
#define GB2312_CHARSET      134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET       161
#define TURKISH_CHARSET     162
#define VIETNAMESE_CHARSET  163
#define HEBREW_CHARSET      177
#define ARABIC_CHARSET      178
#define BALTIC_CHARSET      186
#define RUSSIAN_CHARSET     204
#define THAI_CHARSET        222
#define EASTEUROPE_CHARSET  238
#define OEM_CHARSET         255
/* UTF-8 text: a value no Windows charset uses. */
#define Y32_UTF8_CHARSET    254

#define FW_NORMAL 400
#define FW_BOLD   700
#define OUT_TT_ONLY_PRECIS 7
#define OUT_TT_PRECIS      4

Y32_BEGIN_C

/* A context with no font selected; NULL when out of memory. */
Y32_API HFONTDC y32CreateFontDC(void);
/* Frees the context; the font selected into it stays alive. 0 for a handle
 * that is not a live context. */
Y32_API int32_t y32DeleteFontDC(HFONTDC dc);
/* NULL for a null record, out of memory, or when not even the fallback
 * face can be loaded. */
Y32_API HFONT y32CreateFontIndirect(const LOGFONTA *lf);
/* Selects the font (NULL deselects) and returns the one it replaces
 * (NULL when there was none); NULL and no change for an unknown context
 * or font. */
Y32_API HFONT y32SelectFont(HFONTDC dc, HFONT font);
/* Frees a font. A font still selected into a context is refused (0), as is
 * an unknown handle. */
Y32_API int32_t y32DeleteFont(HFONT font);
/* Copies the path of the font file in use (zero-terminated, cut to fit)
 * and returns its full length; 0 for an unknown font. */
Y32_API int32_t y32GetFontFile(HFONT font, char *out, int32_t outBytes);

Y32_END_C

#endif
