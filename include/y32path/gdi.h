/* y32path/gdi.h - the software device context the drawing functions draw on.
 *
 * The node squares, handle lines and rubber bands of the interactive tools
 * are drawn straight onto a window device context with a binary raster
 * operation (usually exclusive-or, so drawing twice erases). On this
 * platform a device context is a memory bitmap of 24 or 32 bits per pixel,
 * top row first, bytes blue, green, red (and one pad byte at 32 bits, never
 * written). A host makes one over its own window image (caller-owned
 * pixels) or lets the library own the pixels, draws through the usual
 * calls and reads the result back with y32GetMemoryDCBits or GetPixel.
 *
 * Colours are COLORREF values laid out 0x00BBGGRR.
 *
 * Pixel rules, so that exclusive-or drawing done twice restores every pixel:
 *  - every call plots each pixel at most once, whatever the pen width or
 *    the shape of the curve;
 *  - LineTo and PolyBezierTo leave out the end pixel, so consecutive calls
 *    along a polyline never touch a joint twice;
 *  - Rectangle(l, t, r, b) outlines the pixels l..r-1, t..b-1 with the pen
 *    (a wide pen is centred on that outline) and fills what lies inside the
 *    outline with the brush; pen pixels and brush pixels never overlap;
 *  - everything is clipped to the bitmap; coordinates beyond +-2^27 make a
 *    drawing call fail without drawing.
 *
 * The user-interface hooks at the end (mouse capture, key state, beep,
 * cursor) keep the state a window system would keep, so that the library's
 * tools can run, and be tested, without one.
 *
 * Nothing here is synchronised: one thread at a time. */
#ifndef Y32PATH_GDI_H
#define Y32PATH_GDI_H

#include "types.h"

typedef struct Y32Dc *HDC;
typedef void *HGDIOBJ;
typedef HGDIOBJ HPEN;
typedef HGDIOBJ HBRUSH;
typedef struct Y32Window *HWND;
typedef void *HCURSOR;
typedef void *HINSTANCE;
typedef uint32_t COLORREF;

typedef struct Y32Point {
    int32_t x, y;
} Y32Point;
typedef Y32Point POINT;

#define RGB(r, g, b) \
    ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define CLR_INVALID 0xFFFFFFFFu

/* Pen styles. Dotted and dashed patterns are counted in pixels along the
 * line and continue from one LineTo to the next until MoveToEx. The gaps
 * are left untouched. */
#define PS_SOLID      0
#define PS_DASH       1 /* 6 on, 2 off */
#define PS_DOT        2 /* 1 on, 1 off */
#define PS_DASHDOT    3 /* 6 on, 2 off, 1 on, 2 off */
#define PS_DASHDOTDOT 4 /* 6 on, 2 off, 1 on, 2 off, 1 on, 2 off */
#define PS_NULL       5

/* Stock objects. */
#define WHITE_BRUSH  0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH   2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH  4
#define NULL_BRUSH   5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN    6
#define BLACK_PEN    7
#define NULL_PEN     8

/* Binary raster operations (all sixteen are supported). */
#define R2_BLACK       1
#define R2_NOTMERGEPEN 2
#define R2_MASKNOTPEN  3
#define R2_NOTCOPYPEN  4
#define R2_MASKPENNOT  5
#define R2_NOT         6
#define R2_XORPEN      7
#define R2_NOTMASKPEN  8
#define R2_MASKPEN     9
#define R2_NOTXORPEN   10
#define R2_NOP         11
#define R2_MERGENOTPEN 12
#define R2_COPYPEN     13
#define R2_MERGEPENNOT 14
#define R2_MERGEPEN    15
#define R2_WHITE       16

/* Virtual keys the tools ask about. */
#define VK_SHIFT   0x10
#define VK_CONTROL 0x11
#define VK_MENU    0x12
#define VK_ESCAPE  0x1B

/* Standard cursors for LoadCursorA(NULL, id). */
#define MAKEINTRESOURCEA(i) ((const char *)(uintptr_t)(uint16_t)(i))
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT  MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)

/* What y32GetMemoryDCBits reports. Row y starts at bits + y * strideBytes. */
typedef struct Y32DcBits {
    uint8_t *bits;
    int32_t width, height;
    int32_t strideBytes;
    int32_t bitsPerPixel; /* 24 or 32 */
} Y32DcBits;

/* GetKeyState answer: negative (bit 15 set) while the key is down. */
typedef int16_t (*Y32KeyStateHook)(int32_t virtualKey, void *user);

Y32_BEGIN_C

/* A device context over a zero-filled bitmap the context owns. bitsPerPixel
 * is 24 or 32; rows are padded to four bytes. NULL for sizes below 1, sizes
 * whose bitmap would not fit in memory, or out of memory. */
Y32_API HDC y32CreateMemoryDC(int32_t width, int32_t height, int32_t bitsPerPixel);
/* A device context over the caller's pixels; the caller keeps them alive
 * until y32DeleteMemoryDC. strideBytes may be negative (bottom-up images:
 * pass the address of the top row); its size must hold a row. A new
 * context (either kind) starts with the black pen, the white brush,
 * R2_COPYPEN and the current position (0, 0). NULL for NULL bits, a size
 * below 1, another depth, a stride too small, or out of memory. */
Y32_API HDC y32CreateMemoryDCOn(void *bits, int32_t width, int32_t height, int32_t bitsPerPixel,
                                int32_t strideBytes);
/* Frees the context (and its pixels when it owns them). The objects
 * selected into it stay alive; created pens are still the caller's to
 * delete. 0 for a handle that is not a live context. */
Y32_API int32_t y32DeleteMemoryDC(HDC hdc);
/* Describes the context's pixels (still owned as before). 0 for an
 * unknown context or a NULL out. */
Y32_API int32_t y32GetMemoryDCBits(HDC hdc, Y32DcBits *out);

/* The pixel's colour; CLR_INVALID outside the bitmap or for an unknown
 * context. */
Y32_API COLORREF GetPixel(HDC hdc, int32_t x, int32_t y);
/* Writes one pixel regardless of the raster operation; returns the colour
 * set, CLR_INVALID outside the bitmap. */
Y32_API COLORREF SetPixel(HDC hdc, int32_t x, int32_t y, COLORREF color);

/* Width 0 and 1 both draw one pixel wide; widths above 32 draw 32 wide.
 * NULL for an unknown style or a negative width. */
Y32_API HPEN CreatePen(int32_t style, int32_t width, COLORREF color);
/* The library's stock pen or brush (never freed); NULL for an index
 * outside WHITE_BRUSH..NULL_PEN. */
Y32_API HGDIOBJ GetStockObject(int32_t index);
/* Selects a pen or brush and returns the one it replaces; NULL for an
 * unknown context or object. */
Y32_API HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
/* Frees a created pen. Stock objects are left alone (result 1). An object
 * still selected into a context is refused (0), as is an unknown one. */
Y32_API int32_t DeleteObject(HGDIOBJ object);
/* Returns the previous mode; 0 (mode unchanged) for a mode outside 1..16
 * or an unknown context. */
Y32_API int32_t SetROP2(HDC hdc, int32_t mode);
/* The current mode; 0 for an unknown context. */
Y32_API int32_t GetROP2(HDC hdc);

/* Sets the current position (*previous, when given, receives the old one)
 * and restarts the pen's dash pattern. 0 for an unknown context. */
Y32_API int32_t MoveToEx(HDC hdc, int32_t x, int32_t y, POINT *previous);
/* 0 for an unknown context or a NULL out. */
Y32_API int32_t GetCurrentPositionEx(HDC hdc, POINT *out);
/* Line from the current position to (x, y), end pixel left out; the
 * current position moves to (x, y). The three drawing calls return 1; 0
 * for an unknown context or coordinates beyond +-2^27 (nothing drawn). */
Y32_API int32_t LineTo(HDC hdc, int32_t x, int32_t y);
/* Cubic Bezier curves from the current position: count is a multiple of 3
 * (control, control, end per curve; otherwise 0). The current position
 * moves to the last end point. */
Y32_API int32_t PolyBezierTo(HDC hdc, const POINT *points, uint32_t count);
/* Does not move the current position. */
Y32_API int32_t Rectangle(HDC hdc, int32_t left, int32_t top, int32_t right, int32_t bottom);

/* Mouse capture: one window (or none) has it. SetCapture returns the
 * previous holder. */
Y32_API HWND SetCapture(HWND window);
Y32_API HWND GetCapture(void);
/* Nobody holds the capture afterwards; 1. */
Y32_API int32_t ReleaseCapture(void);

/* Key state through the installed hook; 0 (up, not toggled) without one. */
Y32_API int16_t GetKeyState(int32_t virtualKey);
/* Installs the hook (NULL removes it); `user` is passed back on each call.
 * A host forwards its window system's key state here. */
Y32_API void y32SetKeyStateHook(Y32KeyStateHook hook, void *user);

/* The beep is counted; y32BeepCount tells how many have sounded since the
 * last y32ResetBeepCount. */
/* Counts the beep (type is not read); 1. */
Y32_API int32_t MessageBeep(uint32_t type);
Y32_API int32_t y32BeepCount(void);
Y32_API void y32ResetBeepCount(void);

/* Cursors are tokens: LoadCursorA gives a stable handle for each standard
 * id (NULL instance, ids 32512 to 32651; NULL for anything else), SetCursor
 * records it and returns the previous one. */
Y32_API HCURSOR LoadCursorA(HINSTANCE instance, const char *name);
Y32_API HCURSOR SetCursor(HCURSOR cursor);
Y32_API HCURSOR GetCursor(void);
/* Number of SetCursor calls since the last reset. */
Y32_API int32_t y32CursorChanges(void);
Y32_API void y32ResetCursorChanges(void);

Y32_END_C

#endif
