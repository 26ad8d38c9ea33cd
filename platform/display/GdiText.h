#pragma once
// Text in the platform's fonts: logical fonts, text colours and modes, drawing and measuring.
//
// Text is UTF-8. Faces are found through a font configuration the layer ships and loads itself
// (not the user's): "Arial" is drawn with Liberation Sans (the same metrics), "Verdana" with
// DejaVu Sans (close, not identical), any face that is missing with DejaVu Sans. Glyphs are
// rendered with FreeType, anti-aliased in the text colour, never outside the device context's
// clip, and kept per face and size for the life of the process.

#include <string>

#include "platform/display/Gdi.h"

constexpr int LF_FACESIZE = 32;

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

struct LOGFONTA {
  LONG lfHeight;  // negative: the character height in pixels; positive: the cell height; 0: default
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;

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
