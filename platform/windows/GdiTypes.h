#pragma once
// The Win32 graphics types shared by the window calls (Windows.h) and the drawing calls (Gdi.h):
// rectangles, colours and the handles of drawing objects.

#include "platform/core/WinTypes.h"

struct HDC__;
using HDC = HDC__*;
// As in Win32, every drawing object handle converts to HGDIOBJ, so SelectObject and
// DeleteObject take any of them; the result of SelectObject is cast back to the kind selected.
using HGDIOBJ = void*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HPEN__;
using HPEN = HPEN__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HRGN__;
using HRGN = HRGN__*;
struct HPALETTE__;
using HPALETTE = HPALETTE__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;

// 0x00BBGGRR.
using COLORREF = DWORD;

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) noexcept
{
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
         (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF color) noexcept
{
  return static_cast<BYTE>(color);
}
constexpr BYTE GetGValue(COLORREF color) noexcept
{
  return static_cast<BYTE>(color >> 8);
}
constexpr BYTE GetBValue(COLORREF color) noexcept
{
  return static_cast<BYTE>(color >> 16);
}

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
