#pragma once
// Drawing: device contexts, bitmaps and device-independent sections, brushes, pens, palettes,
// regions, block transfers and pixels.
//
// Every object lives in the process's table of drawing objects until DeleteObject (DeleteDC for
// device contexts); a handle value is never reused, so a stale or foreign handle fails instead of
// reaching another object. A memory device context draws into the bitmap selected into it; a
// window's device context (GetDC, BeginPaint, Windows.h) draws into the window, clipped to its
// visible part and window region, and what it draws reaches the screen when the call returns.
// The screen's device context (GetDC with no window) answers capabilities and draws nothing.
// Drawing is finished when a call returns, so GdiFlush has nothing to wait for. Text calls are in
// GdiText.h.

#include <cstdint>

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"
#include "platform/windows/GdiTypes.h"
#include "platform/windows/Windows.h"

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
constexpr DWORD PATCOPY = 0x00F00021;

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_PALETTE = 15;
constexpr int DEFAULT_GUI_FONT = 17;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int RC_PALETTE = 0x0100;

constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_PAL = 5;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline const HGDIOBJ HGDI_ERROR = reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(-1));

constexpr DWORD GR_GDIOBJECTS = 0;

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;

constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_INVALID_BITMAP = 1308;  // not a bitmap the loader understands
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD;

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  // The colour table follows the header (1 << biBitCount entries for 8 bits or fewer, or
  // biClrUsed when set); declared with one entry as in Win32.
  struct {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
  } bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;  // the pixels of a section, null for other bitmaps
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

// A memory device context compatible with dc (or the screen for null); it starts with a 1 x 1
// monochrome bitmap selected.
HDC CreateCompatibleDC(HDC dc);
// Deletes a memory device context (the objects selected into it stay). A window's device context
// goes with ReleaseDC or EndPaint: DeleteDC refuses it.
BOOL DeleteDC(HDC dc);

// A bitmap of the screen's format (32 bits a pixel, top-down), zeroed; null with
// ERROR_INVALID_PARAMETER for a size that is not positive or over the caps of a surface.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A device-independent section of 1, 4, 8, 16, 24 or 32 bits a pixel, BI_RGB only, whose pixel
// memory the caller writes and reads directly through *bits (rows bottom-up for a positive
// height). Sections of 8 bits or fewer take their colour table from info (usage
// DIB_RGB_COLORS). Null with ERROR_INVALID_PARAMETER for a bad header, ERROR_NOT_ENOUGH_MEMORY
// for a size beyond 256 MiB or 32767 pixels a side.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Selects a bitmap (memory device contexts only; a bitmap is in one device context at most),
// brush, pen, font or region (a region is copied as the clip) and returns the object it replaces
// (for a region: the region type). Null (HGDI_ERROR for a region) on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a drawing object. A stock object is left alone (TRUE). An object selected into a
// device context is not deleted: FALSE with ERROR_BUSY (170), as is a stale handle
// (ERROR_INVALID_HANDLE).
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
// OBJ_* of a drawing object or device context, 0 for a handle that is none.
DWORD GetObjectType(HGDIOBJ object);
// Fills a BITMAP (or, for a section and size sizeof(DIBSECTION), a DIBSECTION); returns the
// bytes written, 0 on failure.
int GetObjectA(HGDIOBJ object, int size, void* buffer);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

// Copies a rectangle between device contexts (SRCCOPY; BLACKNESS and WHITENESS fill; PATCOPY
// fills with the selected brush). Parts outside the source are left as they are.
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
// As BitBlt, scaling: COLORONCOLOR (and the Win32 default BLACKONWHITE) picks the nearest source
// pixel, HALFTONE averages. Negative widths or heights mirror.
BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
BOOL GdiFlush();

HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
// Fill with brush (any brush, selected or not); FrameRect draws a one-pixel border with it.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
// Lines with the selected pen, the last point excluded as in Win32.
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);

// CLR_INVALID outside the surface or the clip.
COLORREF GetPixel(HDC dc, int x, int y);
// Returns the colour actually set (the nearest the surface holds), CLR_INVALID on failure.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// The selected palette's entries become the colour table of the selected section of 8 bits or
// fewer; returns the number of entries mapped.
UINT RealizePalette(HDC dc);
// The screen has no hardware palette; this answers a fixed 256-colour table (a 6 x 6 x 6 colour
// cube followed by greys) so sections of 8 bits or fewer get a useful colour table.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);

int GetDeviceCaps(HDC dc, int index);

// A BMP (1, 4, 8, 16, 24 or 32 bits, uncompressed) from a file (LR_LOADFROMFILE), as a section;
// null with ERROR_FILE_NOT_FOUND or ERROR_INVALID_BITMAP. The program has no resource section:
// a name without LR_LOADFROMFILE fails with ERROR_RESOURCE_NAME_NOT_FOUND.
HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags);

// The number of drawing objects and device contexts the process holds (stock objects not
// counted), for GR_GDIOBJECTS of the current process.
DWORD GetGuiResources(HANDLE process, DWORD flags);

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// The pixels inside a polygon; null with ERROR_INVALID_PARAMETER for no points or a fill mode
// other than ALTERNATE and WINDING.
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
// target = a op b (b unused for RGN_COPY); returns the region type, RGN_ERROR on failure.
int CombineRgn(HRGN target, HRGN a, HRGN b, int operation);
BOOL PtInRegion(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* box);
int OffsetRgn(HRGN region, int x, int y);
BOOL EqualRgn(HRGN a, HRGN b);

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL IntersectRect(RECT* result, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* result, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL EqualRect(const RECT* a, const RECT* b);
