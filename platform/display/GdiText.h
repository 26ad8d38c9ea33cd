#pragma once
// Text in the platform's fonts: logical fonts, text colours and modes, drawing and measuring.
//
// Text is UTF-8. Faces are found through a font configuration the layer ships and loads itself
// (not the user's): "Arial" is drawn with Liberation Sans (the same metrics), "Verdana" with
// DejaVu Sans (close, not identical), any face that is missing with DejaVu Sans. Glyphs are
// rendered with FreeType, anti-aliased in the text colour, never outside the device context's
// clip, and kept per face and size for the life of the process.

#include <string>

#include "platform/windows/Gdi.h"
#include "platform/windows/GdiTextTypes.h"

// Null with ERROR_INVALID_PARAMETER for a null font.
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Return the previous value; CLR_INVALID (or 0 for SetBkMode) for a handle that is no device
// context.
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);

// Draws count bytes of text with its cell's top-left corner at (x, y); OPAQUE mode fills the
// cells with the background colour first.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
// As TextOutA; ETO_OPAQUE fills rect with the background colour, ETO_CLIPPED keeps the text
// inside rect. dx (advances) is not supported and must be null.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count,
                 const int* dx);
// Formats text (count -1: up to the terminating zero) in rect: one line (DT_SINGLELINE) or lines
// broken at line feeds and, with DT_WORDBREAK, between words; aligned left, centre or right, and
// vertically (one line only) top, centre or bottom; "&" marks the next character unless
// DT_NOPREFIX ("&&" is "&"); DT_END_ELLIPSIS ends a line that does not fit with "...".
// DT_CALCRECT draws nothing and sets rect's right and bottom to what the text needs. Returns
// the height of the text, 0 on failure.
int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);

// The face a face name resolves to: its family and file (both empty when no face can be found).
struct TFontFace {
  std::string Family;
  std::string File;
  int Index = 0;  // the face within the file
};
TFontFace ResolveFontFace(const char* faceName, bool bold = false, bool italic = false);
